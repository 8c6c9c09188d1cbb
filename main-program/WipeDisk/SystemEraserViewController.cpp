#include "WipeDisk/SystemEraserViewController.h"

#include "Comm/CommUti.h"
#include "Comm/FontCache.h"
#include "Comm/GetColor.h"
#include "WipeDisk/DialogStyle.h"
#include "ui_SystemEraserViewController.h"

const QString SystemEraserViewController::kHelpUrl =
    QStringLiteral("https://www.tarnwick.example/vantoly/help/erase-startup-disk/");

SystemEraserViewController::SystemEraserViewController(QWidget* parent)
    : NoticeDialog(parent), ui(std::make_unique<Ui::SystemEraserViewController>())
{
    ui->setupUi(this);
    DialogStyle::setTextFonts(ui->titleLabel, {ui->nodeLabel, ui->linkLabel});
    DialogStyle::setUpButton(ui->okButton, {"btn_pril_normal", "btn_pril_press", "btn_pril_hover", "btn_pril_disable"},
                             QStringLiteral("Close"), 14);
    connect(ui->okButton, &QAbstractButton::clicked, this, &SystemEraserViewController::okButtonAction);
    setDefaultButton(ui->okButton);
    setCancelButton(ui->okButton);
    ui->linkLabel->setOpenExternalLinks(false);
    connect(ui->linkLabel, &QLabel::linkActivated, this, &SystemEraserViewController::linkButtonAction);
    setLinkLabelStyle();
    setNodeLabelStyle();
}

SystemEraserViewController::~SystemEraserViewController() = default;

void SystemEraserViewController::linkButtonAction() { openLink(kHelpUrl); }

void SystemEraserViewController::setLinkLabelStyle()
{
    DialogStyle::linkWholeLabel(ui->linkLabel, kHelpUrl);
}

void SystemEraserViewController::setNodeLabelStyle()
{
    // The two tools that can be used instead stand out.
    const QString style = QStringLiteral("color:%1; font-family:'%2'; font-weight:bold; font-size:14px")
                              .arg(getColor(0, 196, 255, 1).name(), FontCache::boldFont(14).family());
    DialogStyle::styleFirstOccurrences(ui->nodeLabel, {QStringLiteral("Erase Files/Folders"), QStringLiteral("Wipe Free Space")},
                                       style);
}

TextImageButton* SystemEraserViewController::okButton() const { return ui->okButton; }
QLabel* SystemEraserViewController::linkLabel() const { return ui->linkLabel; }
QLabel* SystemEraserViewController::nodeLabel() const { return ui->nodeLabel; }
