#pragma once
#include <QString>
#include <QWidget>

#include <memory>

class QAbstractButton;
class SidePanelSlot;
class TextImageButton;
namespace Ui {
class SetEraserLevelVC;
}

class SetEraserLevelVCDelegate
{
public:
    virtual ~SetEraserLevelVCDelegate() = default;
    virtual void closeSetEraserLevelView() {}
};

// The erasure level chooser: five levels, Save and Cancel. The level is the
// user default `EraserTimes`.
class SetEraserLevelVC : public QWidget
{
    Q_OBJECT
public:
    explicit SetEraserLevelVC(QWidget* parent = nullptr);
    ~SetEraserLevelVC() override;

    // What a tool does to show the chooser: a fresh panel in `slot`, the
    // stored level marked, slid in. The host dismisses the slot on
    // closeSetEraserLevelView().
    static SetEraserLevelVC* presentIn(SidePanelSlot& slot, SetEraserLevelVCDelegate* host);

    void setEraserLevelSelect();
    void setLevelStr(const QString& level);
    void saveButtonAction();
    void cancelButtonAction();

    SetEraserLevelVCDelegate* delegate() const { return m_delegate; }
    void setDelegate(SetEraserLevelVCDelegate* delegate) { m_delegate = delegate; }

    QString eraserLevel;

    // The choice buttons and Save/Cancel, for the hosts' and tests' use.
    QAbstractButton* choiceButton(const QString& level) const;
    TextImageButton* saveButton() const;
    TextImageButton* cancelButton() const;
    // The level whose button is marked; empty when none is.
    QString markedLevel() const;

protected:
    // Escape closes the panel as its Cancel does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buttonAction();
    QList<QAbstractButton*> choices() const;

    std::unique_ptr<Ui::SetEraserLevelVC> ui;
    SetEraserLevelVCDelegate* m_delegate = nullptr;
};
