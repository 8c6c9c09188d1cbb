#pragma once
#include "PopWindow/StatusAttachedWindow.h"

#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <QAbstractButton>

// Base of every dialog controller: the widget built from the dialog's .ui
// file. While it runs, `superDelegate` is the panel that hosts it; the
// controller ends the dialog with closePanel().
class PanelController : public QWidget
{
    Q_OBJECT
public:
    explicit PanelController(QWidget* parent = nullptr);

    StatusAttachedWindow* superDelegate() const { return m_superDelegate; }
    void setSuperDelegate(StatusAttachedWindow* panel) { m_superDelegate = panel; }

    // Return and Enter press the focused button of the dialog, else the
    // default one (the right-hand, blue one); Escape presses the cancel
    // button. A notice names its one button for both. A button that ignores
    // clicks ignores the keys too.
    void setDefaultButton(QAbstractButton* button) { m_defaultButton = button; }
    void setCancelButton(QAbstractButton* button) { m_cancelButton = button; }
    QAbstractButton* defaultButton() const { return m_defaultButton; }
    QAbstractButton* cancelButton() const { return m_cancelButton; }

    // Where the keyboard starts when the panel opens.
    void takeInitialFocus();

public slots:
    // Ends the modal run; harmless when the panel is already closed or not set.
    void closePanel();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointer<StatusAttachedWindow> m_superDelegate;
    QPointer<QAbstractButton> m_defaultButton;
    QPointer<QAbstractButton> m_cancelButton;
};

// Where a dialog's panel is anchored before it is centred; the anchor and
// side only decide its size (the side reserves the arrow strip).
enum class PanelAnchor {
    LeftOfLowerMiddle,  // 3 points left of the middle of the main window's lower edge
    LowerMiddle,        // the middle of the lower edge
};

// The anchor point on `mainWindow`'s frame, in screen coordinates; with no
// main window, the point the offsets give from (0, 0).
QPointF panelAnchorPoint(const QWidget* mainWindow, PanelAnchor anchor);

// The one way dialogs are opened: wraps `controller` (freshly built by the
// caller) in a StatusAttachedWindow, makes that its superDelegate, centres it
// on the screen and runs it application-modally. Returns once the controller
// has closed the panel. The controller and its panel are deleted by then.
void runModalPanel(PanelController* controller, QWidget* mainWindow,
                   PanelAnchor anchor = PanelAnchor::LeftOfLowerMiddle, int side = 1, double distance = 5.0);

// The panel runModalPanel() would build, not yet shown or centred; for
// callers that need the panel before the run starts (tests among them).
StatusAttachedWindow* makePanel(PanelController* controller, QWidget* mainWindow,
                                PanelAnchor anchor = PanelAnchor::LeftOfLowerMiddle, int side = 1,
                                double distance = 5.0);
