#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

// Keeps the keyboard inside a presented panel or dialog while it shows:
// Tab and Shift+Tab cycle through the controls in it that a user can see
// and use (never into the screen underneath, never to a control covered or
// parked off view), the arrow keys move between sibling buttons such as a
// row of choices, Return presses the focused button, and the control that
// holds keyboard focus wears a ring. The picture buttons draw their own ring.
// A trap may hold others (the main window holds the side panels of its
// screens): while an inner one is on view, the keys are the inner one's.
class FocusTrap : public QObject
{
    Q_OBJECT
public:
    // The trap lives as long as `root` (it is its child); a second call
    // returns the first trap.
    static FocusTrap* install(QWidget* root);
    ~FocusTrap() override;

    // The controls Tab visits, in order.
    QList<QWidget*> stops() const;

    // Whether the panel is on view: shown and not clipped away by its
    // parents (a tool's screen slid out keeps its panels "visible").
    bool onView() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FocusTrap(QWidget* root);
    bool innerTrapOnView() const;
    bool handleKey(QKeyEvent* key);
    void moveFocus(bool forward);
    bool moveAmongSiblings(QWidget* focus, bool forward);
    void placeRing(QWidget* focus, Qt::FocusReason reason);

    QPointer<QWidget> m_root;
    QPointer<QWidget> m_ring;
    bool m_forwarding = false;
};
