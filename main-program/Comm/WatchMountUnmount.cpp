#include "Comm/WatchMountUnmount.h"

#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

const QString MCVolumeMountNotification = QStringLiteral("MCVolumeMount");
const QString MCVolumeUnmountNotification = QStringLiteral("MCVolumeUnmount");

WatchMountUnmount::WatchMountUnmount(QObject* parent) : QObject(parent)
{
    registerNotifications();
}

WatchMountUnmount::~WatchMountUnmount()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void WatchMountUnmount::registerNotifications()
{
    if (m_fd >= 0)
        return;
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        platform::log(QStringLiteral("cannot watch /proc/self/mountinfo: mount events will not be relayed"));
        return;
    }
    m_volumes = volumeKeys(platform::parseMountTable(readTable()));
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &WatchMountUnmount::tableChanged);
}

QByteArray WatchMountUnmount::readTable()
{
    QByteArray text;
    if (::lseek(m_fd, 0, SEEK_SET) < 0)
        return text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, n);
    }
    return text;
}

QSet<QString> WatchMountUnmount::volumeKeys(const QList<platform::MountEntry>& table)
{
    QSet<QString> keys;
    for (const platform::MountEntry& m : table)
        if (m.source.startsWith(QLatin1String("/dev/")))
            keys.insert(m.mountPoint + '\n' + m.source);
    return keys;
}

void WatchMountUnmount::tableChanged()
{
    if (m_fd < 0)
        return;
    const QSet<QString> now = volumeKeys(platform::parseMountTable(readTable()));
    const QSet<QString> before = m_volumes;
    m_volumes = now;
    auto info = [](const QString& key) {
        const qsizetype nl = key.lastIndexOf('\n');
        return QVariantMap{{QStringLiteral("path"), key.left(nl)}, {QStringLiteral("device"), key.mid(nl + 1)}};
    };
    for (const QString& key : before)
        if (!now.contains(key))
            unmountedVolume(info(key));
    for (const QString& key : now)
        if (!before.contains(key))
            mountedVolume(info(key));
}

void WatchMountUnmount::mountedVolume(const QVariantMap& userInfo)
{
    platform::NotificationCenter::defaultCenter().post(MCVolumeMountNotification, userInfo);
}

void WatchMountUnmount::unmountedVolume(const QVariantMap& userInfo)
{
    platform::NotificationCenter::defaultCenter().post(MCVolumeUnmountNotification, userInfo);
}
