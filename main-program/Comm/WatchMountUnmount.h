#pragma once
#include "platform/MountTable.h"

#include <QObject>
#include <QSet>
#include <QVariantMap>

class QSocketNotifier;

extern const QString MCVolumeMountNotification;    // "MCVolumeMount"
extern const QString MCVolumeUnmountNotification;  // "MCVolumeUnmount"

// Relays volume mounts and unmounts as "MCVolumeMount" and "MCVolumeUnmount"
// on the process's notification centre, with the mount point under "path"
// and the device under "device" in the user info. The kernel flags every
// change of the mount table as a priority event on the open mountinfo file;
// the watcher reads the table again and posts the difference. Only volumes
// on block devices count, not the system's pseudo file systems.
class WatchMountUnmount : public QObject
{
    Q_OBJECT
public:
    explicit WatchMountUnmount(QObject* parent = nullptr);
    ~WatchMountUnmount() override;

    void registerNotifications();
    void mountedVolume(const QVariantMap& userInfo);
    void unmountedVolume(const QVariantMap& userInfo);

    // The mount table changed; reads and posts the difference. Called by the
    // notifier, and by anyone who knows better than to wait for it.
    void tableChanged();

    // The entries that count as volumes, as "mount point\ndevice" keys.
    static QSet<QString> volumeKeys(const QList<platform::MountEntry>& table);

private:
    QByteArray readTable();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QSet<QString> m_volumes;
};
