#include "WipeDisk/StepProgressViewVC.h"

#include "WipeDisk/StepLineView.h"
#include "platform/ImageStore.h"
#include "ui_StepProgressViewVC.h"

namespace {
const char* const kImageName = "imageName";
}

StepProgressViewVC::StepProgressViewVC(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::StepProgressViewVC>())
{
    ui->setupUi(this);
}

StepProgressViewVC::~StepProgressViewVC() = default;

void StepProgressViewVC::setLabelString(const QString& label1, const QString& label2, const QString& label3)
{
    ui->label_1->setText(label1);
    ui->label_2->setText(label2);
    ui->label_3->setText(label3);
}

void StepProgressViewVC::runProgressStep(int state)
{
    if (state < 1 || state > 3)
        return;
    ui->line_1->setIsRuned(state >= 2);
    ui->line_2->setIsRuned(state >= 3);
    if (state >= 2)
        ui->line_1->update();
    if (state >= 3)
        ui->line_2->update();
    QLabel* images[] = {ui->image_1, ui->image_2, ui->image_3};
    for (int step = 1; step <= 3; ++step) {
        const char* name = step < state ? "step_ok" : step == state ? "step_loading" : "step";
        setStepImage(images[step - 1], QString::fromLatin1(name));
    }
}

void StepProgressViewVC::setStepImage(QLabel* image, const QString& name)
{
    image->setProperty(kImageName, name);
    image->setPixmap(platform::imageNamed(name, image->size(), image->devicePixelRatioF()));
}

QString StepProgressViewVC::imageNameOf(const QLabel* image)
{
    return image->property(kImageName).toString();
}

QLabel* StepProgressViewVC::label_1() const { return ui->label_1; }
QLabel* StepProgressViewVC::label_2() const { return ui->label_2; }
QLabel* StepProgressViewVC::label_3() const { return ui->label_3; }
QLabel* StepProgressViewVC::image_1() const { return ui->image_1; }
QLabel* StepProgressViewVC::image_2() const { return ui->image_2; }
QLabel* StepProgressViewVC::image_3() const { return ui->image_3; }
StepLineView* StepProgressViewVC::line_1() const { return ui->line_1; }
StepLineView* StepProgressViewVC::line_2() const { return ui->line_2; }
