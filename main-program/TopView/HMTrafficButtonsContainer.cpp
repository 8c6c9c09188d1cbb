#include "TopView/HMTrafficButtonsContainer.h"

#include "platform/ImageStore.h"
#include "platform/NotificationCenter.h"

#include <QGuiApplication>
#include <QPainter>
#include <QWindow>

HMTrafficButtonsContainer::HMTrafficButtonsContainer(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

HMTrafficButtonsContainer::HMTrafficButtonsContainer(const QRect& frame, QWidget* parent)
    : HMTrafficButtonsContainer(parent)
{
    setGeometry(frame);
}

void HMTrafficButtonsContainer::setup()
{
    active = QStringLiteral("window-button-%1-active").arg(m_idStr);
    hover = QStringLiteral("window-button-%1-hover").arg(m_idStr);
    inactive = QStringLiteral("window-button-all-inactive");
    setActiveState();
    if (m_observing)
        return;
    m_observing = true;
    // Any window of the program becoming main makes every traffic button
    // active; the last one losing it makes them all inactive.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focus) {
        if (focus)
            setActiveState();
        else
            setInactiveState();
    });
    auto& center = platform::NotificationCenter::defaultCenter();
    center.observe(this, QStringLiteral("HMTrafficButtonMouseEnter"), [this](const QVariantMap&) { hoverIn(); });
    center.observe(this, QStringLiteral("HMTrafficButtonMouseExit"), [this](const QVariantMap&) { hoverOut(); });
}

void HMTrafficButtonsContainer::showPicture(const QString& name)
{
    m_currentName = platform::hasImage(name) ? name : QString();
    update();
}

void HMTrafficButtonsContainer::setActiveState()
{
    m_activeState = true;
    // A button that does nothing never looks as if it would.
    showPicture(!isEnabled() ? inactive : m_hoverState ? hover : active);
}

void HMTrafficButtonsContainer::setInactiveState()
{
    m_activeState = false;
    showPicture(inactive);
}

void HMTrafficButtonsContainer::hoverIn()
{
    if (!m_activeState || !isEnabled())
        return;
    m_hoverState = true;
    showPicture(hover);
}

void HMTrafficButtonsContainer::hoverOut()
{
    if (!m_activeState || !isEnabled())
        return;
    m_hoverState = false;
    showPicture(active);
}

void HMTrafficButtonsContainer::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !active.isEmpty())
        m_activeState ? setActiveState() : setInactiveState();
}

void HMTrafficButtonsContainer::paintEvent(QPaintEvent*)
{
    if (m_currentName.isEmpty())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, platform::imageNamed(m_currentName, size(), devicePixelRatioF()));
}

void HMTrafficButtonsContainer::mousePressEvent(QMouseEvent* event)
{
    m_hoverState = false;
    QAbstractButton::mousePressEvent(event);
}

void HMTrafficButtonsContainer::mouseReleaseEvent(QMouseEvent* event)
{
    m_hoverState = true;
    QAbstractButton::mouseReleaseEvent(event);
}
