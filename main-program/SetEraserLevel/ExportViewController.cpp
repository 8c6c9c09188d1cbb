#include "SetEraserLevel/ExportViewController.h"

#include "SetEraserLevel/PanelButtons.h"
#include "ui_ExportViewController.h"

#include <QDialog>
#include <QVBoxLayout>

ExportViewController::ExportViewController(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::ExportViewController>())
{
    ui->setupUi(this);
    PanelButtons::setUp(ui->closeButton, QStringLiteral("OK"));
    connect(ui->closeButton, &QAbstractButton::clicked, this, &ExportViewController::closeWindow);
}

ExportViewController::~ExportViewController() = default;

QAbstractButton* ExportViewController::closeButton() const
{
    return ui->closeButton;
}

void ExportViewController::runModal(QWidget* mainWindow)
{
    QDialog panel(mainWindow ? mainWindow->window() : nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    auto* layout = new QVBoxLayout(&panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* vc = new ExportViewController(&panel);
    layout->addWidget(vc);
    vc->superDelegate = &panel;
    panel.setWindowModality(Qt::ApplicationModal);
    panel.exec();
}

void ExportViewController::closeWindow()
{
    if (superDelegate)
        superDelegate->close();
}
