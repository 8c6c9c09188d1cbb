#include "TopView/TCWindowButton.h"

#include "platform/NotificationCenter.h"

#include <QCursor>
#include <QMouseEvent>

#include <QEvent>
#include <QHash>
#include <QPainter>

TCWindowButtonGroup* TCWindowButtonGroup::groupWithIdentifier(const QString& identifier)
{
    static QHash<QString, TCWindowButtonGroup*> groups;
    const QString key = identifier.isEmpty() ? QString::fromLatin1(kDefaultIdentifier) : identifier;
    auto it = groups.find(key);
    if (it == groups.end())
        it = groups.insert(key, new TCWindowButtonGroup(key));
    return *it;
}

void TCWindowButtonGroup::setNumberOfCaptures(qint64 count)
{
    if (count < 0 || count == m_numberOfCaptures)
        return;
    m_numberOfCaptures = count;
    platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(kRolloverNotification),
                                                       {{QStringLiteral("object"), m_identifier}});
}

TCWindowButton::TCWindowButton(QWidget* parent) : TCWindowButton(QSize(12, 12), QString(), parent) {}

TCWindowButton::TCWindowButton(const QSize& size, const QString& groupIdentifier, QWidget* parent)
    : QAbstractButton(parent), m_groupIdentifier(groupIdentifier)
{
    setGeometry(QRect(QPoint(0, 0), size));
    setFocusPolicy(Qt::NoFocus);
    watchParent();
    const QString own = group()->identifier();
    platform::NotificationCenter::defaultCenter().observe(
        this, QString::fromLatin1(TCWindowButtonGroup::kRolloverNotification), [this, own](const QVariantMap& info) {
            if (info.value(QStringLiteral("object")).toString() == own)
                update();
        });
}

TCWindowButton* TCWindowButton::windowButtonWithSize(const QSize& size, const QString& groupIdentifier,
                                                     QWidget* parent)
{
    return new TCWindowButton(size, groupIdentifier, parent);
}

TCWindowButtonGroup* TCWindowButton::group() const
{
    return TCWindowButtonGroup::groupWithIdentifier(m_groupIdentifier);
}

QPixmap TCWindowButton::currentImage() const
{
    if (isDown() && !pressedImage.isNull())
        return pressedImage;
    if (!isEnabled())
        return inactiveImage;
    if (group()->shouldDisplayRollOver())
        return rolloverImage;
    return window()->isActiveWindow() ? activeImage : activeNotKeyWindowImage;
}

void TCWindowButton::paintEvent(QPaintEvent*)
{
    const QPixmap picture = currentImage();
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(rect(), picture);
}

void TCWindowButton::setPointerInside(bool inside)
{
    if (inside == m_inside)
        return;
    m_inside = inside;
    if (inside)
        group()->didCaptureMousePointer();
    else
        group()->didReleaseMousePointer();
    update();
}

void TCWindowButton::viewDidEndLiveResize()
{
    group()->resetMouseCaptures();
    m_inside = false;
    update();
}

void TCWindowButton::watchParent()
{
    // The margin around the button lies on its parent: the parent's pointer
    // moves tell when the pointer is near.
    QWidget* parent = parentWidget();
    if (parent == m_watchedParent)
        return;
    if (m_watchedParent)
        m_watchedParent->removeEventFilter(this);
    m_watchedParent = parent;
    if (parent) {
        parent->setMouseTracking(true);
        parent->installEventFilter(this);
    }
}

bool TCWindowButton::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedParent && isVisible()) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            setPointerInside(geometry().adjusted(-kTrackingMargin, -kTrackingMargin, kTrackingMargin, kTrackingMargin)
                                 .contains(at));
        } else if (event->type() == QEvent::Leave) {
            setPointerInside(false);
        }
    }
    return QAbstractButton::eventFilter(watched, event);
}

void TCWindowButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    watchParent();
    setPointerInside(true);
}

void TCWindowButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    // Leaving the button for its margin keeps it captured; the parent's
    // moves decide from here on.
    watchParent();
    const QPoint at = m_watchedParent ? m_watchedParent->mapFromGlobal(QCursor::pos()) : QPoint(-1000, -1000);
    setPointerInside(geometry().adjusted(-kTrackingMargin, -kTrackingMargin, kTrackingMargin, kTrackingMargin)
                         .contains(at));
}

void TCWindowButton::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    switch (event->type()) {
    case QEvent::ParentChange:
        watchParent();
        break;
    case QEvent::EnabledChange:
    case QEvent::ActivationChange:
        update();
        break;
    default:
        break;
    }
}
