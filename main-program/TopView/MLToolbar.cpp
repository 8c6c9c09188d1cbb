#include "TopView/MLToolbar.h"

#include "TopView/StandardWindowButton.h"
#include "platform/NotificationCenter.h"

#include <QEnterEvent>
#include <QMouseEvent>

// Top-down coordinates: the row's top edge sits 5 points below the strip's top.
namespace {
constexpr int kTop = 5;
constexpr int kLeft = 8;
}  // namespace

MLToolbar::MLToolbar(QWidget* parent) : MLGlassView(parent)
{
    commonInit();
}

MLToolbar::MLToolbar(const QRect& frame, QWidget* parent) : MLGlassView(frame, parent)
{
    commonInit();
    setVerticalButtons(false);
}

void MLToolbar::commonInit()
{
    m_hiddenButtons = false;
    m_justClose = false;
    m_closeButton = StandardWindowButton::standardWindowButton(StandardWindowButton::Close, this);
    m_minimizeButton = StandardWindowButton::standardWindowButton(StandardWindowButton::Miniaturize, this);
    m_maximizeButton = StandardWindowButton::standardWindowButton(StandardWindowButton::Zoom, this);
    setMouseTracking(true);
    for (StandardWindowButton* b : {m_closeButton.data(), m_minimizeButton.data(), m_maximizeButton.data()}) {
        b->setMouseTracking(true);
        b->installEventFilter(this);
    }
    layOutRow();
    createTrackingArea();
}

void MLToolbar::layOutRow()
{
    if (!m_closeButton)
        return;
    // The later re-layout of the row was never settled between two heights;
    // it keeps the first layout's, which also matches the tracking area.
    const int w = m_closeButton->width();
    m_closeButton->move(kLeft, kTop);
    if (m_minimizeButton)
        m_minimizeButton->move(10 + w, kTop);
    if (m_maximizeButton)
        m_maximizeButton->move(12 + 2 * w, kTop);
}

void MLToolbar::setVerticalButtons(bool vertical)
{
    m_verticalButtons = vertical;
    if (m_closeButton) {
        if (vertical) {
            const int h = m_closeButton->height();
            m_closeButton->move(kLeft, kTop);
            if (m_minimizeButton)
                m_minimizeButton->move(kLeft, kTop + h + 3);
            if (m_maximizeButton)
                m_maximizeButton->move(kLeft, kTop + 2 * h + 6);
        } else {
            layOutRow();
        }
    }
    createTrackingArea();
}

void MLToolbar::setHiddenButtons(bool hidden)
{
    m_hiddenButtons = hidden;
    if (hidden) {
        delete m_closeButton;
        delete m_minimizeButton;
        delete m_maximizeButton;
    }
    createTrackingArea();
}

void MLToolbar::setJustClose(bool justClose)
{
    m_justClose = justClose;
    if (justClose) {
        if (m_minimizeButton)
            m_minimizeButton->hide();
        if (m_maximizeButton)
            m_maximizeButton->hide();
    }
    createTrackingArea();
}

void MLToolbar::createTrackingArea()
{
    m_trackingArea.reset();
    m_pointerInside = false;
    if (m_hiddenButtons)
        return;
    const QSize button = m_closeButton ? m_closeButton->size() : QSize(12, 12);
    const int w = button.width();
    const int h = button.height();
    if (m_verticalButtons)
        m_trackingArea = m_justClose ? QRect(kLeft, kTop - 3, w, h + 3) : QRect(kLeft, kTop, w, 3 * h + 6);
    else
        m_trackingArea = m_justClose ? QRect(kLeft, kTop, w + 2, h) : QRect(kLeft, kTop, 3 * w + 2, h);
}

void MLToolbar::pointerAt(std::optional<QPoint> pos)
{
    const bool inside = m_trackingArea && pos && m_trackingArea->contains(*pos);
    if (inside == m_pointerInside)
        return;
    m_pointerInside = inside;
    if (inside)
        mouseEntered();
    else
        mouseExited();
}

void MLToolbar::mouseEntered()
{
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("HMTrafficButtonMouseEnter"),
                                                       {{QStringLiteral("object"), QVariant::fromValue<QObject*>(this)}});
}

void MLToolbar::mouseExited()
{
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("HMTrafficButtonMouseExit"),
                                                       {{QStringLiteral("object"), QVariant::fromValue<QObject*>(this)}});
}

bool MLToolbar::eventFilter(QObject* watched, QEvent* event)
{
    auto* button = qobject_cast<QWidget*>(watched);
    if (button && button->parentWidget() == this) {
        if (event->type() == QEvent::MouseMove)
            pointerAt(button->mapToParent(static_cast<QMouseEvent*>(event)->position().toPoint()));
        else if (event->type() == QEvent::Enter)
            pointerAt(button->mapToParent(static_cast<QEnterEvent*>(event)->position().toPoint()));
    }
    return MLGlassView::eventFilter(watched, event);
}

void MLToolbar::mouseMoveEvent(QMouseEvent* event)
{
    pointerAt(event->position().toPoint());
    MLGlassView::mouseMoveEvent(event);
}

void MLToolbar::leaveEvent(QEvent* event)
{
    // Leaving the strip for one of its own buttons is not leaving the area.
    if (!underMouse())
        pointerAt(std::nullopt);
    MLGlassView::leaveEvent(event);
}
