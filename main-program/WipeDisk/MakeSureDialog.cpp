#include "WipeDisk/MakeSureDialog.h"

#include "ui_MakeSureDialog.h"

#include "Comm/FontCache.h"
#include "WipeDisk/DialogStyle.h"

#include "ToolCon/TextImageButton.h"

#include <QTextDocument>

MakeSureDialog::MakeSureDialog(const QString& title, const QString& body, QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::MakeSureDialog>())
{
    ui->setupUi(this);
    ui->titleLabel->setText(title);
    ui->bodyLabel->setText(body);
    DialogStyle::setTextFonts(ui->titleLabel, {ui->bodyLabel});
    ui->volumeLabel->setFont(FontCache::boldFont(12));
    DialogStyle::setUpButton(ui->okButton, {"btn_pril_normal", "btn_pril_press", "btn_pril_hover", "btn_pril_disable"},
                             QStringLiteral("Continue"), 14);
    DialogStyle::setUpButton(ui->noButton, {"btn_secl_normal", "btn_secl_press", "btn_secl_hover", "btn_secl_disable"},
                             QStringLiteral("Cancel"), 14);
    connect(ui->okButton, &QAbstractButton::clicked, this, &MakeSureDialog::okButtonAction);
    connect(ui->noButton, &QAbstractButton::clicked, this, &MakeSureDialog::noButtonAction);
    setDefaultButton(ui->okButton);
    setCancelButton(ui->noButton);
}

MakeSureDialog::~MakeSureDialog() = default;

void MakeSureDialog::setVolume(const QString& name, const QString& device)
{
    // A name is only a label: the device says which volume it is.
    const QString text = QStringLiteral("\u201C%1\u201D (%2)").arg(name, device);
    ui->volumeLabel->setText(ui->volumeLabel->fontMetrics().elidedText(text, Qt::ElideMiddle, ui->volumeLabel->width()));
    ui->volumeLabel->setTextFormat(Qt::PlainText);
    ui->volumeLabel->setToolTip(Qt::convertFromPlainText(text));
    ui->volumeLabel->show();
    ui->bodyLabel->move(ui->bodyLabel->x(), ui->volumeLabel->geometry().bottom() + 6);
}

void MakeSureDialog::okButtonAction()
{
    tellDelegate();
    closeWindow();
}

void MakeSureDialog::noButtonAction()
{
    closeWindow();
}

void MakeSureDialog::closeWindow()
{
    closePanel();
}

TextImageButton* MakeSureDialog::okButton() const { return ui->okButton; }
TextImageButton* MakeSureDialog::noButton() const { return ui->noButton; }
QLabel* MakeSureDialog::titleLabel() const { return ui->titleLabel; }
QLabel* MakeSureDialog::bodyLabel() const { return ui->bodyLabel; }
QLabel* MakeSureDialog::volumeLabel() const { return ui->volumeLabel; }
