#include "TopView/StandardWindowButton.h"

#include "platform/ImageStore.h"

#include <QEvent>
#include <QPainter>

StandardWindowButton::StandardWindowButton(QWidget* parent) : StandardWindowButton(Close, parent) {}

StandardWindowButton::StandardWindowButton(Kind kind, QWidget* parent) : QAbstractButton(parent), m_kind(kind)
{
    resize(12, 12);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, &StandardWindowButton::act);
}

StandardWindowButton* StandardWindowButton::standardWindowButton(Kind kind, QWidget* parent)
{
    return new StandardWindowButton(kind, parent);
}

void StandardWindowButton::setKind(Kind kind)
{
    m_kind = kind;
    update();
}

QString StandardWindowButton::kindName() const
{
    switch (m_kind) {
    case Close: return QStringLiteral("close");
    case Miniaturize: return QStringLiteral("minimize");
    case Zoom: return QStringLiteral("zoom");
    }
    return QString();
}

QString StandardWindowButton::currentImageName() const
{
    const auto* host = dynamic_cast<const WindowButtonGroupHost*>(parentWidget());
    const bool hover = host ? host->mouseInGroup(this) : underMouse();
    if (hover && isEnabled())
        return QStringLiteral("window-button-%1-hover").arg(kindName());
    if (!isEnabled() || !window()->isActiveWindow())
        return QStringLiteral("window-button-all-inactive");
    return QStringLiteral("window-button-%1-active").arg(kindName());
}

void StandardWindowButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, platform::imageNamed(currentImageName(), size(), devicePixelRatioF()));
}

void StandardWindowButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    update();
}

void StandardWindowButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    update();
}

void StandardWindowButton::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::ActivationChange || event->type() == QEvent::EnabledChange)
        update();
}

void StandardWindowButton::act()
{
    QWidget* w = window();
    switch (m_kind) {
    case Close: w->close(); break;
    case Miniaturize: w->showMinimized(); break;
    case Zoom:
        if (w->isMaximized())
            w->showNormal();
        else
            w->showMaximized();
        break;
    }
}
