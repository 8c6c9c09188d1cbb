#include "Eraser/SystemItemAlert.h"

#include "Eraser/LauncherLook.h"
#include "ui_SystemItemAlert.h"

SystemItemAlert::SystemItemAlert(const QString& path, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::SystemItemAlert>())
{
    ui->setupUi(this);
    LauncherLook::apply(this);
    ui->noticeLabel->setTextFormat(Qt::PlainText);
    ui->noticeLabel->setText(ui->noticeLabel->text().arg(path));
    connect(ui->okButton, &QPushButton::clicked, this, &SystemItemAlert::okButtonAction);
}

SystemItemAlert::~SystemItemAlert() = default;

QString SystemItemAlert::noticeText() const
{
    return ui->noticeTitleLabel->text() + QLatin1Char('\n') + ui->noticeLabel->text();
}

void SystemItemAlert::okButtonAction()
{
    accept();
}
