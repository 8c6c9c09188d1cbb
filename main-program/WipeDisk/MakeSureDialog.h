#pragma once
#include <QPointer>
#include <QWidget>

class QAbstractButton;

// What every "Continue" / "Cancel" confirmation shares: the panel it lives
// in (`superDelegate`), which it closes to end the modal run.
class MakeSureDialog : public QWidget
{
    Q_OBJECT
public:
    explicit MakeSureDialog(QWidget* parent = nullptr) : QWidget(parent) {}

    QWidget* superDelegate() const { return m_superDelegate; }
    void setSuperDelegate(QWidget* panel) { m_superDelegate = panel; }

    // "Continue": tells the delegate first, then closes, so the job starts
    // while the modal run is still on.
    void okButtonAction();
    // "Cancel": only closes.
    void noButtonAction();
    void closeWindow();

protected:
    // Wires both buttons with their pictures and texts.
    void setUpButtons(QAbstractButton* okButton, QAbstractButton* noButton);
    virtual void tellDelegate() = 0;

private:
    QPointer<QWidget> m_superDelegate;
};
