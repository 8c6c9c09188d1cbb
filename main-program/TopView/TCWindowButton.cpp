#include "TopView/TCWindowButton.h"

#include "platform/NotificationCenter.h"

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

void TCWindowButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    group()->didCaptureMousePointer();
    update();
}

void TCWindowButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    group()->didReleaseMousePointer();
    update();
}

void TCWindowButton::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
    case QEvent::ActivationChange:
        update();
        break;
    default:
        break;
    }
}
