#include "PopWindow/FocusTrap.h"

#include "PopWindow/PanelController.h"
#include "ToolCon/FourStateImageButton.h"
#include "ToolCon/KeyRing.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>

namespace {

bool isTabStop(const QWidget* w)
{
    return w->isVisible() && w->isEnabled() && !w->focusProxy() && (w->focusPolicy() & Qt::TabFocus)
        && !w->visibleRegion().isEmpty();
}

QList<FocusTrap*>& traps()
{
    static QList<FocusTrap*> all;
    return all;
}

// A list that shows no focus of its own asks for the ring by its
// "focusRing" property.
bool drawsOwnRing(const QWidget* w)
{
    if (w->property("focusRing").toBool())
        return false;
    return qobject_cast<const FourStateImageButton*>(w) || qobject_cast<const QAbstractItemView*>(w);
}

}  // namespace

FocusTrap::FocusTrap(QWidget* root) : QObject(root), m_root(root)
{
    setObjectName(QStringLiteral("focusTrap"));
    traps() << this;
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (m_ring && (!now || !m_root->isAncestorOf(now)))
            m_ring->hide();
    });
}

FocusTrap::~FocusTrap()
{
    traps().removeAll(this);
}

FocusTrap* FocusTrap::install(QWidget* root)
{
    if (!root)
        return nullptr;
    if (auto* trap = root->findChild<FocusTrap*>(QStringLiteral("focusTrap"), Qt::FindDirectChildrenOnly))
        return trap;
    return new FocusTrap(root);
}

bool FocusTrap::onView() const
{
    return m_root && m_root->isVisible() && !m_root->visibleRegion().isEmpty();
}

QList<QWidget*> FocusTrap::stops() const
{
    QList<QWidget*> result;
    if (!m_root)
        return result;
    // The window's chain holds the panel's controls in Tab order.
    QWidget* start = m_root->window();
    QWidget* w = start;
    do {
        if (w != m_root && m_root->isAncestorOf(w) && w != m_ring && isTabStop(w))
            result << w;
        w = w->nextInFocusChain();
    } while (w && w != start);
    return result;
}

bool FocusTrap::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !m_forwarding && onView())
        return handleKey(static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::FocusIn && watched->isWidgetType() && m_root
        && m_root->isAncestorOf(static_cast<QWidget*>(watched)))
        placeRing(static_cast<QWidget*>(watched), static_cast<QFocusEvent*>(event)->reason());
    return false;
}

bool FocusTrap::innerTrapOnView() const
{
    for (FocusTrap* other : traps())
        if (other != this && other->m_root && m_root->isAncestorOf(other->m_root) && other->onView())
            return true;
    return false;
}

bool FocusTrap::handleKey(QKeyEvent* key)
{
    if (innerTrapOnView())
        return false;
    QWidget* focus = QApplication::focusWidget();
    const bool inside = focus && (focus == m_root || m_root->isAncestorOf(focus));
    // The screen underneath shares the panel's window; another window (a
    // dialog over the panel) keeps its own keys.
    const bool sameWindow = focus ? focus->window() == m_root->window() : m_root->isActiveWindow();
    if (!inside && !sameWindow)
        return false;
    if (!inside && focus) {
        // Focus in another presented panel is that panel's to move.
        for (FocusTrap* other : traps())
            if (other != this && other->m_root && other->m_root->isAncestorOf(focus) && other->onView())
                return false;
    }
    const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (mods != Qt::NoModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Tab:
        moveFocus(!(key->modifiers() & Qt::ShiftModifier));
        return true;
    case Qt::Key_Backtab:
        moveFocus(false);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Left:
        return inside && moveAmongSiblings(focus, false);
    case Qt::Key_Down:
    case Qt::Key_Right:
        return inside && moveAmongSiblings(focus, true);
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        auto* button = qobject_cast<QAbstractButton*>(focus);
        if (!inside || !button || button->isCheckable() || key->isAutoRepeat())
            return false;
        if (auto* picture = qobject_cast<FourStateImageButton*>(button)) {
            // In a dialog, the dialog presses the focused picture button
            // itself; elsewhere in the window Return presses it as Space does.
            for (QWidget* w = picture; w; w = w->parentWidget())
                if (qobject_cast<PanelController*>(w))
                    return false;
            if (!picture->buttonEnabled() || !picture->isEnabled())
                return true;
        }
        button->click();
        return true;
    }
    default:
        break;
    }
    if (!inside && key->key() == Qt::Key_Escape) {
        // Focus that slipped out to the screen underneath still lets Escape
        // close the panel.
        QKeyEvent copy(key->type(), key->key(), key->modifiers());
        m_forwarding = true;
        QApplication::sendEvent(m_root.data(), &copy);
        m_forwarding = false;
        return true;
    }
    return false;
}

void FocusTrap::moveFocus(bool forward)
{
    const QList<QWidget*> list = stops();
    if (list.isEmpty()) {
        m_root->setFocus(Qt::OtherFocusReason);
        return;
    }
    const qsizetype at = list.indexOf(QApplication::focusWidget());
    qsizetype next;
    if (at < 0)
        next = forward ? 0 : list.size() - 1;
    else
        next = (at + (forward ? 1 : list.size() - 1)) % list.size();
    list[next]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

bool FocusTrap::moveAmongSiblings(QWidget* focus, bool forward)
{
    if (!qobject_cast<QAbstractButton*>(focus))
        return false;
    QList<QWidget*> row;
    for (QWidget* w : stops())
        if (w->parentWidget() == focus->parentWidget() && w->metaObject() == focus->metaObject())
            row << w;
    const qsizetype at = row.indexOf(focus);
    if (row.size() < 2 || at < 0)
        return false;
    const qsizetype next = forward ? at + 1 : at - 1;
    if (next >= 0 && next < row.size())
        row[next]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void FocusTrap::placeRing(QWidget* focus, Qt::FocusReason reason)
{
    const bool keyboard = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
    if (!keyboard || drawsOwnRing(focus) || focus == m_root || innerTrapOnView()) {
        if (m_ring)
            m_ring->hide();
        return;
    }
    if (!m_ring)
        m_ring = new KeyRing(m_root);
    const QRect area(focus->mapTo(m_root.data(), QPoint(0, 0)), focus->size());
    m_ring->setGeometry(area.adjusted(-2, -2, 2, 2));
    m_ring->show();
    m_ring->raise();
}
