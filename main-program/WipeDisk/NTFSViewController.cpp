#include "WipeDisk/NTFSViewController.h"

#include "Comm/GetColor.h"
#include "WipeDisk/DialogStyle.h"
#include "platform/FileManagerReveal.h"
#include "ui_NTFSViewController.h"

const QString NTFSViewController::kHelpUrl = QStringLiteral("https://www.tarnwick.example/vantoly/help/erase-ntfs-drive/");
const QString NTFSViewController::kWindowsProductUrl = QStringLiteral("https://www.tarnwick.example/vantoly-windows/");

void NoticeDialog::openLink(const QString& url)
{
    platform::openAsInvokingUser(url);
}

NTFSViewController::NTFSViewController(QWidget* parent) : NoticeDialog(parent), ui(std::make_unique<Ui::NTFSViewController>())
{
    ui->setupUi(this);
    DialogStyle::setUpButton(ui->okButton, {"btn_pril_normal", "btn_pril_press", "btn_pril_hover", "btn_pril_disable"},
                             QStringLiteral("OK"), 14);
    connect(ui->okButton, &QAbstractButton::clicked, this, &NTFSViewController::okButtonAction);
    setDefaultButton(ui->okButton);
    setCancelButton(ui->okButton);
    connect(ui->linkToHelp, &QAbstractButton::clicked, this, &NTFSViewController::linkToHelpButtonAction);
    connect(ui->linkToWinBut, &QAbstractButton::clicked, this, &NTFSViewController::linkToWinButtonAction);
    for (QLabel* label : {ui->linkLabel, ui->nodeTLabel}) {
        label->setOpenExternalLinks(false);
        connect(label, &QLabel::linkActivated, this, &NoticeDialog::openLink);
    }
    setLinkLabelStyle();
    setTwoLinkLabelStyle();
}

NTFSViewController::~NTFSViewController() = default;

void NTFSViewController::linkToHelpButtonAction() { openLink(kHelpUrl); }
void NTFSViewController::linkToWinButtonAction() { openLink(kWindowsProductUrl); }

void NTFSViewController::setLinkLabelStyle()
{
    DialogStyle::linkWholeLabel(ui->linkLabel, kHelpUrl);
}

void NTFSViewController::setTwoLinkLabelStyle()
{
    DialogStyle::styleFirstOccurrences(ui->nodeTLabel, {QStringLiteral("Vantoly for Windows")},
                                       QStringLiteral("color:%1; text-decoration:underline").arg(getColor(0, 182, 255, 1).name()),
                                       kWindowsProductUrl);
}

TextImageButton* NTFSViewController::okButton() const { return ui->okButton; }
QAbstractButton* NTFSViewController::linkToHelp() const { return ui->linkToHelp; }
QAbstractButton* NTFSViewController::linkToWinBut() const { return ui->linkToWinBut; }
QLabel* NTFSViewController::linkLabel() const { return ui->linkLabel; }
QLabel* NTFSViewController::nodeTLabel() const { return ui->nodeTLabel; }
