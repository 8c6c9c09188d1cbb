#include "RepairDisk/FormatEndViewController.h"

#include "Comm/FontCache.h"
#include "ToolCon/TextImageButton.h"
#include "ui_FormatEndViewController.h"

namespace {

// Titles at the dialogs' title size; the text as tall as it is, and OK
// below it, so a one-line text leaves no empty band above the button.
void fitToText(Ui::FormatEndViewController& ui, QWidget* dialog)
{
    for (QLabel* title : {ui.titleLabel, ui.failTitleLabel})
        title->setFont(FontCache::regularFont(FontCache::kDialogTitleSize));
    QLabel* text = ui.reasonLabel;
    const int height = std::max(text->fontMetrics().height(), text->heightForWidth(text->width()));
    text->resize(text->width(), height);
    ui.closeButton->move(ui.closeButton->x(), text->geometry().bottom() + 1 + 20);
    dialog->resize(dialog->width(), ui.closeButton->geometry().bottom() + 1 + 20);
}

void setUpOk(TextImageButton* button)
{
    button->setImageFromFileNormalName(QStringLiteral("btn_pril_normal"), QStringLiteral("btn_pril_press"),
                                       QStringLiteral("btn_pril_hover"), QStringLiteral("btn_pril_disable"));
    button->setButtonEnabled(true);
    button->setTextWithName(QStringLiteral("OK"), 14);
}

}  // namespace

FormatEndViewController::FormatEndViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::FormatEndViewController>())
{
    ui->setupUi(this);
    setUpOk(ui->closeButton);
    setDefaultButton(ui->closeButton);
    setCancelButton(ui->closeButton);
    connect(ui->closeButton, &QAbstractButton::clicked, this, &FormatEndViewController::closeWindow);
    ui->failTitleLabel->hide();
    fitToText(*ui, this);
}

FormatEndViewController::~FormatEndViewController() = default;

void FormatEndViewController::setOutcome(bool succeeded, const QString& reason)
{
    m_succeeded = succeeded;
    ui->titleLabel->setVisible(succeeded);
    ui->failTitleLabel->setVisible(!succeeded);
    ui->reasonLabel->setTextFormat(Qt::PlainText);
    // On success the reason is a note (the name the file system took).
    if (!succeeded)
        ui->reasonLabel->setText(reason);
    else if (!reason.isEmpty())
        ui->reasonLabel->setText(ui->reasonLabel->text() + QLatin1Char('\n') + reason);
    fitToText(*ui, this);
}

TextImageButton* FormatEndViewController::closeButton() const { return ui->closeButton; }
QLabel* FormatEndViewController::titleLabel() const { return m_succeeded ? ui->titleLabel : ui->failTitleLabel; }
QLabel* FormatEndViewController::reasonLabel() const { return ui->reasonLabel; }

DiskActionFailedViewController::DiskActionFailedViewController(const QString& title, const QString& reason,
                                                               QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::FormatEndViewController>())
{
    ui->setupUi(this);
    setUpOk(ui->closeButton);
    setDefaultButton(ui->closeButton);
    setCancelButton(ui->closeButton);
    connect(ui->closeButton, &QAbstractButton::clicked, this, &PanelController::closePanel);
    ui->titleLabel->hide();
    // The reason may quote a volume's label: text, never markup.
    ui->failTitleLabel->setTextFormat(Qt::PlainText);
    ui->reasonLabel->setTextFormat(Qt::PlainText);
    ui->failTitleLabel->setText(title);
    ui->reasonLabel->setText(reason);
    fitToText(*ui, this);
}

DiskActionFailedViewController::~DiskActionFailedViewController() = default;

TextImageButton* DiskActionFailedViewController::closeButton() const { return ui->closeButton; }
QLabel* DiskActionFailedViewController::titleLabel() const { return ui->failTitleLabel; }
QLabel* DiskActionFailedViewController::reasonLabel() const { return ui->reasonLabel; }
