#include "Main/FileEraser/SystemItemViewController.h"

#include "ToolCon/TextImageButton.h"
#include "WipeDisk/DialogStyle.h"
#include "ui_SystemItemViewController.h"

SystemItemViewController::SystemItemViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::SystemItemViewController>())
{
    ui->setupUi(this);
    DialogStyle::setTextFonts(ui->titleLabel, {ui->nodeLabel});
    ui->okButton->setImageFromFileNormalName(QStringLiteral("btn_pril_normal"), QStringLiteral("btn_pril_press"),
                                             QStringLiteral("btn_pril_hover"), QStringLiteral("btn_pril_disable"));
    ui->okButton->setTextWithName(QStringLiteral("OK"), 14);
    ui->okButton->setButtonEnabled(true);
    connect(ui->okButton, &QAbstractButton::clicked, this, &SystemItemViewController::okButtonAction);
    setDefaultButton(ui->okButton);
    setCancelButton(ui->okButton);
}

SystemItemViewController::~SystemItemViewController() = default;

void SystemItemViewController::setPath(const QString& path)
{
    ui->nodeLabel->setText(ui->nodeLabel->text().arg(path));
}

TextImageButton* SystemItemViewController::okButton() const { return ui->okButton; }
QLabel* SystemItemViewController::nodeLabel() const { return ui->nodeLabel; }
