#include "About/AboutViewController.h"

#include "ui_AboutViewController.h"

#include "Comm/EULinkUrl.h"
#include "Comm/FontCache.h"
#include "Comm/GetColor.h"
#include "platform/Workspace.h"

namespace {
void setTextColor(QLabel* label, const QColor& color)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
}
}  // namespace

AboutViewController::AboutViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::AboutViewController>())
{
    ui->setupUi(this);
    ui->titleLabel->setFont(FontCache::regularFont(13));
    ui->nameLabel->setFont(FontCache::boldFont(20));
    ui->versionLabel->setFont(FontCache::regularFont(12));
    ui->descriptionLabel->setFont(FontCache::lightFont(13));
    ui->copyrightLabel->setFont(FontCache::lightFont(10));
    setTextColor(ui->titleLabel, getColor(255, 255, 255, 1));
    setTextColor(ui->nameLabel, getColor(255, 255, 255, 1));
    setTextColor(ui->versionLabel, getColor(237, 239, 240, 1));
    setTextColor(ui->descriptionLabel, getColor(237, 239, 240, 1));
    setTextColor(ui->copyrightLabel, getColor(237, 239, 240, 0.6f));

    ui->aboutButton->setImageFromFileNormalName(QStringLiteral("btn_pril_normal"), QStringLiteral("btn_pril_press"),
                                                QStringLiteral("btn_pril_hover"), QStringLiteral("btn_pril_disable"));
    ui->aboutButton->setTextWithName(QStringLiteral("Learn More"), 14);
    ui->aboutButton->setButtonEnabled(true);
    ui->closeButton->setImageFromFileNormalName(QStringLiteral("ic_close_normal"), QStringLiteral("ic_close_press"),
                                                QStringLiteral("ic_close_hover"), QStringLiteral("ic_close_disable"));
    ui->closeButton->setButtonEnabled(true);
    connect(ui->aboutButton, &QAbstractButton::clicked, this, &AboutViewController::aboutButtonAction);
    connect(ui->closeButton, &QAbstractButton::clicked, this, &AboutViewController::closeWindow);
    setDefaultButton(ui->aboutButton);
    setCancelButton(ui->closeButton);
}

AboutViewController::~AboutViewController() = default;

TextImageButton* AboutViewController::aboutButton() const
{
    return ui->aboutButton;
}

TCImageButton* AboutViewController::closeButton() const
{
    return ui->closeButton;
}

void AboutViewController::aboutButtonAction()
{
    platform::openUrl(EULinkUrl::GetUrl(QStringLiteral("AboutURL")));
}

void AboutViewController::closeWindow()
{
    closePanel();
}
