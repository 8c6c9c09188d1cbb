#include "SetEraserLevel/SetEraserLevelVC.h"

#include "Comm/FontCache.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "SetEraserLevel/PanelButtons.h"
#include "SetEraserLevel/SidePanelSlot.h"
#include "ToolCon/TextImageButton.h"
#include "platform/ImageStore.h"
#include "platform/UserDefaults.h"
#include "ui_SetEraserLevelVC.h"

#include <QKeyEvent>

namespace {

const char* const kIdentifier = "identifier";
const char* const kMarked = "marked";

}  // namespace

SetEraserLevelVC::SetEraserLevelVC(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::SetEraserLevelVC>())
{
    ui->setupUi(this);
    ui->titleLabel->setFont(FontCache::regularFont(FontCache::kScreenTitleSize));
    // The panel covers the tool's view: it paints its own dark background.
    setAttribute(Qt::WA_StyledBackground);
    PanelButtons::setUp(ui->cancelButton, QStringLiteral("Cancel"));
    PanelButtons::setUp(ui->saveButton, QStringLiteral("Save"));
    connect(ui->cancelButton, &QAbstractButton::clicked, this, &SetEraserLevelVC::cancelButtonAction);
    connect(ui->saveButton, &QAbstractButton::clicked, this, &SetEraserLevelVC::saveButtonAction);
    for (QAbstractButton* choice : choices()) {
        // A choice's title is its level's name, found by the identifier.
        choice->setText(eraserLevelFor(choice->property(kIdentifier).toInt()).name);
        connect(choice, &QAbstractButton::clicked, this, &SetEraserLevelVC::buttonAction);
    }
}

SetEraserLevelVC::~SetEraserLevelVC() = default;

SetEraserLevelVC* SetEraserLevelVC::presentIn(SidePanelSlot& slot, SetEraserLevelVCDelegate* host)
{
    auto* vc = new SetEraserLevelVC;
    vc->setDelegate(host);
    slot.present(vc);
    vc->setEraserLevelSelect();
    return vc;
}

QList<QAbstractButton*> SetEraserLevelVC::choices() const
{
    return {ui->but_1, ui->but_2, ui->but_3, ui->but_7, ui->but_35};
}

QAbstractButton* SetEraserLevelVC::choiceButton(const QString& level) const
{
    for (QAbstractButton* choice : choices())
        if (choice->property(kIdentifier).toString() == level)
            return choice;
    return nullptr;
}

TextImageButton* SetEraserLevelVC::saveButton() const
{
    return ui->saveButton;
}

TextImageButton* SetEraserLevelVC::cancelButton() const
{
    return ui->cancelButton;
}

QString SetEraserLevelVC::markedLevel() const
{
    for (QAbstractButton* choice : choices())
        if (choice->property(kMarked).toBool())
            return choice->property(kIdentifier).toString();
    return QString();
}

void SetEraserLevelVC::setEraserLevelSelect()
{
    setLevelStr(QString::number(platform::userDefaultInteger(kEraserTimesKey, 0)));
}

void SetEraserLevelVC::buttonAction()
{
    if (auto* choice = qobject_cast<QAbstractButton*>(sender()))
        setLevelStr(choice->property(kIdentifier).toString());
}

void SetEraserLevelVC::setLevelStr(const QString& level)
{
    const QIcon unmarked = platform::iconNamed(QStringLiteral("radiobutton_no"));
    for (QAbstractButton* choice : choices()) {
        choice->setIcon(unmarked);
        choice->setProperty(kMarked, false);
    }
    eraserLevel = level;
    // Whole texts are compared: "35" marks only the 35 button, never the 3.
    if (QAbstractButton* choice = choiceButton(level)) {
        choice->setIcon(platform::iconNamed(QStringLiteral("radiobutton_sel")));
        choice->setProperty(kMarked, true);
    }
}

void SetEraserLevelVC::saveButtonAction()
{
    // A level that is no number (never one of ours) is not stored.
    bool ok = false;
    const int level = eraserLevel.toInt(&ok);
    if (ok)
        platform::setUserDefaultInteger(kEraserTimesKey, level);
    cancelButtonAction();
}

void SetEraserLevelVC::cancelButtonAction()
{
    if (m_delegate)
        m_delegate->closeSetEraserLevelView();
}

void SetEraserLevelVC::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        cancelButtonAction();
        return;
    }
    QWidget::keyPressEvent(event);
}
