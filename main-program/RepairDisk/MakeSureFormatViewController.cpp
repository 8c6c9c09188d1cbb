#include "RepairDisk/MakeSureFormatViewController.h"

#include "Comm/FontCache.h"
#include "Comm/GetColor.h"
#include "ToolCon/ButtonSetUp.h"
#include "ToolCon/TextImageButton.h"
#include "platform/ImageStore.h"
#include "ui_MakeSureFormatViewController.h"

#include <QKeyEvent>
#include <QTimer>

namespace {

void setLabelWhite(QLabel* label, float white)
{
    const QColor c = getColor(255 * white, 255 * white, 255 * white, 1);
    label->setStyleSheet(QStringLiteral("color: %1;").arg(c.name()));
}

}  // namespace

MakeSureFormatViewController::MakeSureFormatViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::MakeSureFormatViewController>())
{
    ui->setupUi(this);
    ui->nameLabel->setFont(FontCache::regularFont(FontCache::kDialogTitleSize));
    setUpTextButton(ui->okButton, {"btn_pril_normal", "btn_pril_press", "btn_pril_hover", "btn_pril_disable"},
                QStringLiteral("Continue"), 12);
    setUpTextButton(ui->noButton, {"btn_secl_normal", "btn_secl_press", "btn_secl_hover", "btn_secl_disable"},
                QStringLiteral("Cancel"), 12);
    setDefaultButton(ui->okButton);
    setCancelButton(ui->noButton);
    connect(ui->okButton, &QAbstractButton::clicked, this, &MakeSureFormatViewController::okButtonAction);
    connect(ui->noButton, &QAbstractButton::clicked, this, &MakeSureFormatViewController::noButtonAction);
    connect(ui->typeSelectBut, &QAbstractButton::clicked, this, [this] {
        // Return on the button picks what the keys highlighted in the open menu.
        if (m_formatTypeVC && m_formatTypeVC->highlightedType() >= 0)
            selectFormatbyType(m_formatTypeVC->highlightedType());
        else
            openMenuAction();
    });
    ui->openImageV->setPixmap(platform::imageNamed(QStringLiteral("sortby_normal"), ui->openImageV->size()));
    // The type menu by keys: arrows move within it, Return or Space picks.
    ui->typeSelectBut->installEventFilter(this);
    ui->formatView->hide();
    connect(&m_typeDropDown, &AttachedDropDown::closed, this, [this] {
        if (m_formatTypeVC)
            m_formatTypeVC->setDelegate(nullptr);
        m_formatTypeVC = nullptr;
    });
}

MakeSureFormatViewController::~MakeSureFormatViewController()
{
    // The drop-down's content reports to this dialog; it goes first.
    if (m_formatTypeVC)
        m_formatTypeVC->setDelegate(nullptr);
}

void MakeSureFormatViewController::setName(const QString& name, const QString& type)
{
    // The volume's label is shown as it stands, never read as markup.
    ui->nameLabel->setTextFormat(Qt::PlainText);
    ui->nodeLabel->setTextFormat(Qt::PlainText);
    ui->nameLabel->setText(QStringLiteral("Format '%1'?").arg(name));
    ui->nodeLabel->setText(
        QStringLiteral("All data on '%1' will be deleted after format, do you want to format it?").arg(name));
    ui->nameTextFiled->setText(name);
    ui->nameTextFiled->setReadOnly(true);
    ui->typeLabel->setText(type);
    setLabelWhite(ui->typeLabel, 1.0f);
    ui->openImageV->show();
    ui->typeSelectBut->setEnabled(true);
    const QString lower = type.toLower();
    const bool ntfs = lower.contains(QLatin1String("ntfs"));
    if (lower.contains(QLatin1String("apfs")) || ntfs) {
        setLabelWhite(ui->typeLabel, 0.5f);
        ui->openImageV->hide();
        ui->typeSelectBut->setEnabled(false);
    }
    // NTFS cannot be made here: such a volume becomes FAT32 named "NEW",
    // and the dialog says so rather than offering a name it would not use.
    ui->nameTitle->setVisible(!ntfs);
    ui->nameTextFiled->setVisible(!ntfs);
    if (ntfs) {
        ui->typeLabel->setText(QString::fromLatin1(kNtfsRoadType));
        ui->nodeLabel->setText(QStringLiteral("All data on '%1' will be deleted. NTFS volumes cannot be made here, so it "
                                              "will become an MS-DOS FAT32 volume named \"%2\". Do you want to format it?")
                                   .arg(name, QString::fromLatin1(kNtfsRoadName)));
        ui->nodeLabel->resize(ui->nodeLabel->width(), ui->nodeLabel->heightForWidth(ui->nodeLabel->width()));
    }
    QTimer::singleShot(0, this, [this] { ui->nameTextFiled->setReadOnly(false); });
}

void MakeSureFormatViewController::okButtonAction()
{
    m_typeDropDown.choiceMade();
    // The keyboard rests on the dialog itself while it works: the progress
    // bar is nothing to use and wears no ring.
    setFocus(Qt::OtherFocusReason);
    ui->makeSureView->hide();
    ui->formatView->show();
    if (m_delegate)
        m_delegate->makeSureToFormatSelectVolumeWithName(ui->nameTextFiled->text(), ui->typeLabel->text());
}

void MakeSureFormatViewController::noButtonAction() { closeWindow(); }

void MakeSureFormatViewController::closeWindow()
{
    m_typeDropDown.choiceMade();
    closePanel();
}

void MakeSureFormatViewController::openMenuAction()
{
    if (m_typeDropDown.isOpen() || !ui->typeSelectBut->isEnabled())
        return;
    auto* menu = new FormatTypeViewController;
    menu->setDelegate(this);
    m_formatTypeVC = menu;
    QWidget* host = superDelegate() ? static_cast<QWidget*>(superDelegate()) : window();
    // Hanging from the type button, where it hides none of the dialog's text.
    QPushButton* button = ui->typeSelectBut;
    const QPoint anchor = button->mapTo(host, QPoint(button->width() / 2, button->height()));
    m_typeDropDown.open(menu, host, anchor, 1, 0);
}

bool MakeSureFormatViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui->typeSelectBut || event->type() != QEvent::KeyPress || !ui->typeSelectBut->isEnabled())
        return PanelController::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const int current = typeOfText(ui->typeLabel->text());
    // Opened by keys, the menu starts on the current type and stays open as
    // it does while the pointer is inside it.
    auto openByKeys = [this, current] {
        openMenuAction();
        if (m_formatTypeVC)
            m_formatTypeVC->moveHighlight(0, current);
        m_typeDropDown.mouseEixtView(false);
    };
    switch (key->key()) {
    case Qt::Key_Down:
    case Qt::Key_Up:
        if (!m_formatTypeVC)
            openByKeys();
        else
            m_formatTypeVC->moveHighlight(key->key() == Qt::Key_Down ? 1 : -1, current);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!m_formatTypeVC)
            openByKeys();
        else if (m_formatTypeVC->highlightedType() >= 0)
            selectFormatbyType(m_formatTypeVC->highlightedType());
        return true;
    case Qt::Key_Escape:
        if (!m_formatTypeVC)
            break;
        m_typeDropDown.choiceMade();  // only the menu closes, not the dialog
        return true;
    default:
        break;
    }
    return PanelController::eventFilter(watched, event);
}

int MakeSureFormatViewController::typeOfText(const QString& text)
{
    for (int type = 0; type < 3; ++type)
        if (FormatTypeViewController::typeText(type) == text)
            return type;
    return 0;
}

void MakeSureFormatViewController::closeMattachedWindow() { m_typeDropDown.closeMattachedWindow(); }

void MakeSureFormatViewController::mouseEixtView(bool exited) { m_typeDropDown.mouseEixtView(exited); }

void MakeSureFormatViewController::selectFormatbyType(int type)
{
    const QString text = FormatTypeViewController::typeText(type);
    if (!text.isEmpty() && FormatTypeViewController::whyNot(type).isEmpty())
        ui->typeLabel->setText(text);
    m_typeDropDown.choiceMade();
}

QLabel* MakeSureFormatViewController::nameLabel() const { return ui->nameLabel; }
QLabel* MakeSureFormatViewController::nodeLabel() const { return ui->nodeLabel; }
QLineEdit* MakeSureFormatViewController::nameTextFiled() const { return ui->nameTextFiled; }
QLabel* MakeSureFormatViewController::typeLabel() const { return ui->typeLabel; }
QAbstractButton* MakeSureFormatViewController::typeSelectBut() const { return ui->typeSelectBut; }
QLabel* MakeSureFormatViewController::openImageV() const { return ui->openImageV; }
TextImageButton* MakeSureFormatViewController::okButton() const { return ui->okButton; }
TextImageButton* MakeSureFormatViewController::noButton() const { return ui->noButton; }
QWidget* MakeSureFormatViewController::makeSureView() const { return ui->makeSureView; }
QWidget* MakeSureFormatViewController::formatView() const { return ui->formatView; }
