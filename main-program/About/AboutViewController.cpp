#include "About/AboutViewController.h"

#include "ui_AboutViewController.h"

#include "Comm/EULinkUrl.h"
#include "platform/Workspace.h"

AboutViewController::AboutViewController(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::AboutViewController>())
{
    ui->setupUi(this);
    connect(ui->aboutButton, &QPushButton::clicked, this, &AboutViewController::aboutButtonAction);
    connect(ui->closeButton, &QPushButton::clicked, this, &AboutViewController::closeWindow);
}

AboutViewController::~AboutViewController() = default;

void AboutViewController::aboutButtonAction()
{
    platform::openUrl(EULinkUrl::GetUrl(QStringLiteral("AboutURL")));
}

void AboutViewController::closeWindow()
{
    if (superDelegate)
        superDelegate->close();
}
