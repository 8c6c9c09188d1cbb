#include "WipeDisk/NTFSViewController.h"

#include "Comm/GetColor.h"
#include "WipeDisk/DialogStyle.h"
#include "platform/FileManagerReveal.h"
#include "ui_NTFSViewController.h"

#include <QFontMetrics>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

const QString NTFSViewController::kHelpUrl = QStringLiteral("https://www.tarnwick.example/vantoly/help/erase-ntfs-drive/");
const QString NTFSViewController::kWindowsProductUrl = QStringLiteral("https://www.tarnwick.example/vantoly-windows/");

void NoticeDialog::openLink(const QString& url)
{
    platform::openAsInvokingUser(url);
}

NTFSViewController::NTFSViewController(QWidget* parent) : NoticeDialog(parent), ui(std::make_unique<Ui::NTFSViewController>())
{
    ui->setupUi(this);
    DialogStyle::setTextFonts(ui->titleLabel, {ui->nodeTLabel, ui->linkLabel});
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
    placeLinkButtons();
}

namespace {

// Where `phrase` is drawn in a word-wrapped label, in the label's parent's
// coordinates; the phrase's first line when it wraps. Empty when missing.
QRect phraseRect(const QLabel* label, const QString& plainText, const QString& phrase)
{
    const int at = plainText.indexOf(phrase);
    if (at < 0)
        return {};
    QTextDocument doc;
    doc.setDocumentMargin(0);
    doc.setDefaultFont(label->font());
    doc.setTextWidth(label->width());
    doc.setPlainText(plainText);
    const QSizeF laidOut = doc.size();  // lays the text out
    const QTextLayout* layout = doc.begin().layout();
    const QTextLine line = layout ? layout->lineForTextPosition(at) : QTextLine();
    if (!line.isValid())
        return {};
    const int end = std::min<int>(at + phrase.size(), line.textStart() + line.textLength());
    const qreal left = line.cursorToX(at);
    const qreal right = line.cursorToX(end);
    // Labels centre their text block vertically.
    const qreal top = (label->height() - laidOut.height()) / 2 + line.y();
    return QRectF(left, top, right - left, line.height()).toAlignedRect().translated(label->pos());
}

}  // namespace

void NTFSViewController::placeLinkButtons()
{
    // The two link buttons lie over the two links, with no look of their
    // own: the links show, the buttons give the pointing hand and the click.
    for (QAbstractButton* b : {static_cast<QAbstractButton*>(ui->linkToHelp), static_cast<QAbstractButton*>(ui->linkToWinBut)}) {
        b->setText(QString());
        b->setStyleSheet(QStringLiteral("background: transparent; border: none;"));
        b->setFocusPolicy(Qt::NoFocus);
        b->raise();
    }
    const QFontMetrics fm(ui->linkLabel->font());
    const QString help = QStringLiteral("How to erase an NTFS drive on this system");
    QRect helpRect(ui->linkLabel->pos(), QSize(fm.horizontalAdvance(help) + 2, ui->linkLabel->height()));
    ui->linkToHelp->setGeometry(helpRect.intersected(ui->linkLabel->geometry()));
    const QRect win = phraseRect(ui->nodeTLabel, nodeText(), QStringLiteral("Vantoly for Windows"));
    ui->linkToWinBut->setGeometry(win);
    ui->linkToWinBut->setVisible(!win.isEmpty());
}

QString NTFSViewController::nodeText() const
{
    QTextDocument doc;
    doc.setHtml(ui->nodeTLabel->text());
    return ui->nodeTLabel->textFormat() == Qt::PlainText ? ui->nodeTLabel->text() : doc.toPlainText();
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
