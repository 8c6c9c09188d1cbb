#pragma once
#include "PopWindow/AttachedWindowEngine.h"
#include "PopWindow/PopBaseWindow.h"

#include <QPointer>

class QEventLoop;

// Told about the pointer and key focus of a panel. Every operation is optional.
class StatusAttachedWindowDelegate
{
public:
    virtual ~StatusAttachedWindowDelegate() = default;
    virtual void mouseInWindow(bool inside) { (void)inside; }
    virtual void isHiddenWindow() {}
};

// The dark translucent panel every dialog runs in. Build one through
// runModalPanel() (PanelController.h) rather than by hand.
class StatusAttachedWindow : public PopBaseWindow, public AttachedWindowEngine
{
    Q_OBJECT
public:
    // `view` must not be null. `parentWindow` null means `point` is in screen
    // coordinates; otherwise it is in the parent window's.
    StatusAttachedWindow(QWidget* view, QPointF point, QWidget* parentWindow = nullptr,
                         int side = AttachedGeometry::kAutomaticSide, double distance = 0);
    ~StatusAttachedWindow() override;

    // Runs the panel application-modally; returns once close() (or any other
    // close of the window) has ended the run.
    void runModal();
    bool isRunningModal() const { return m_loop != nullptr; }

    // Ends the modal run and closes the panel. Safe to call more than once and
    // when no modal run is going on.
    void close();

    // No counterpart on this platform: the panel is painted translucent
    // without blurring what lies behind it.
    void setWindowBackgroundBlurRadius(int radius);

    // The window the panel belongs to: window managers are told the panel is
    // its dialog, and the keyboard falls back to its home when the control
    // that opened the panel has gone by the time it closes.
    void setOwnerWindow(QWidget* owner) { m_owner = owner; }
    QWidget* ownerWindow() const { return m_owner; }

    void setMattachedWDelegate(StatusAttachedWindowDelegate* delegate) { m_delegate = delegate; }
    StatusAttachedWindowDelegate* mattachedWDelegate() const { return m_delegate; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void windowWillClose() override;

private:
    QEventLoop* m_loop = nullptr;
    bool m_closeRequested = false;
    StatusAttachedWindowDelegate* m_delegate = nullptr;
    QPointer<QWidget> m_owner;
};
