#include "SetEraserLevel/ExportViewController.h"

#include "SetEraserLevel/PanelButtons.h"
#include "ToolCon/TextImageButton.h"
#include "ui_ExportViewController.h"

ExportViewController::ExportViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::ExportViewController>())
{
    ui->setupUi(this);
    PanelButtons::setUp(ui->closeButton, QStringLiteral("OK"));
    connect(ui->closeButton, &QAbstractButton::clicked, this, &ExportViewController::closeWindow);
    setDefaultButton(ui->closeButton);
    setCancelButton(ui->closeButton);
}

ExportViewController::~ExportViewController() = default;

TextImageButton* ExportViewController::closeButton() const
{
    return ui->closeButton;
}

void ExportViewController::closeWindow()
{
    closePanel();
}

void ExportViewController::setMessage(const QString& text)
{
    ui->messageLabel->setText(text);
}

QString ExportViewController::message() const
{
    return ui->messageLabel->text();
}
