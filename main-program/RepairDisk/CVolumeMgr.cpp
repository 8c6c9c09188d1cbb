#include "RepairDisk/CVolumeMgr.h"

#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <mutex>

const QString CVolumeMgrVolumesNotification = QStringLiteral("CVolumeMgrVolumes");

namespace {

// The key under which diskutil names the system's own helper volumes.
const QString kDADiskDescriptionVolumeNameKey = QStringLiteral("DAVolumeName");

using Clock = std::chrono::steady_clock;

// One scan per window for the whole process. Unlike a flag that refuses
// calls, a call inside the window is answered with the latest list and a
// rescan follows at the window's end, so no caller is left with nothing.
struct Throttle
{
    std::mutex mutex;
    std::condition_variable idle;
    bool scanning = false;
    bool started = false;
    Clock::time_point lastStart;
    QList<QVariantMap> lastList;
    bool trailingScheduled = false;
    int windowMs = 1000;
    quint64 generation = 0;
    quint64 started_ = 0;      // scans started so far; each scan's serial
    quint64 lastListSerial = 0;  // the serial of the scan lastList came from
};

Throttle& throttle()
{
    static Throttle t;
    return t;
}

QString text(const QVariantMap& map, const QString& key) { return map.value(key).toString(); }

quint64 number(const QVariantMap& map, const QString& key) { return map.value(key).toULongLong(); }

bool isOneOf(const QString& value, std::initializer_list<const char*> choices)
{
    for (const char* c : choices)
        if (value == QLatin1String(c))
            return true;
    return false;
}

// What Linux keeps on disks that is no volume: swap, LVM, LUKS and RAID members.
bool isLinuxNonVolume(const QString& content)
{
    return isOneOf(content, {"Linux_Swap", "Linux_LVM", "Linux_LUKS", "Linux_RAID"});
}

// Runs one scan with the throttle's bookkeeping and publishes its list.
QList<QVariantMap> scanAndRecord(CVolumeMgr& mgr, quint64 serial)
{
    QList<QVariantMap> list = mgr.scanVolumes();
    Throttle& t = throttle();
    std::lock_guard lock(t.mutex);
    t.lastList = list;
    t.lastListSerial = serial;
    t.scanning = false;
    t.idle.notify_all();
    return list;
}

void scheduleTrailingScan(std::shared_ptr<VolumeInfoSource> source, int delayMs, quint64 generation)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    // Timers belong to the main thread; the scan itself goes back to the pool.
    QMetaObject::invokeMethod(app, [app, source, delayMs, generation] {
        QTimer::singleShot(delayMs, app, [source, generation] {
            QThreadPool::globalInstance()->start([source, generation] {
                Throttle& t = throttle();
                quint64 serial = 0;
                {
                    std::unique_lock lock(t.mutex);
                    if (t.generation != generation)
                        return;
                    t.trailingScheduled = false;
                    t.idle.wait(lock, [&t] { return !t.scanning; });
                    t.scanning = true;
                    t.started = true;
                    t.lastStart = Clock::now();
                    serial = ++t.started_;
                }
                CVolumeMgr mgr(source);
                const QList<QVariantMap> list = scanAndRecord(mgr, serial);
                QVariantList volumes;
                for (const QVariantMap& v : list)
                    volumes << v;
                platform::NotificationCenter::defaultCenter().post(
                    CVolumeMgrVolumesNotification,
                    {{QStringLiteral("volumes"), volumes}, {QStringLiteral("serial"), serial}});
            });
        });
    }, Qt::QueuedConnection);
}

}  // namespace

std::optional<QVariantMap> DiskToolVolumeSource::list()
{
    return m_tool.runPlist({QStringLiteral("list"), QStringLiteral("-plist")});
}

std::optional<QVariantMap> DiskToolVolumeSource::info(const QString& deviceIdentifier)
{
    return m_tool.runPlist({QStringLiteral("info"), QStringLiteral("-plist"), QStringLiteral("/dev/") + deviceIdentifier});
}

CVolumeMgr::CVolumeMgr(std::shared_ptr<VolumeInfoSource> source) : m_source(std::move(source))
{
    if (!m_source)
        m_source = std::make_shared<DiskToolVolumeSource>();
}

void CVolumeMgr::setThrottleWindow(int ms)
{
    std::lock_guard lock(throttle().mutex);
    throttle().windowMs = ms;
}

void CVolumeMgr::resetThrottle()
{
    Throttle& t = throttle();
    std::unique_lock lock(t.mutex);
    t.idle.wait(lock, [&t] { return !t.scanning; });
    t.started = false;
    t.lastList.clear();
    t.lastListSerial = 0;
    t.trailingScheduled = false;
    ++t.generation;
}

quint64 CVolumeMgr::scansStarted()
{
    std::lock_guard lock(throttle().mutex);
    return throttle().started_;
}

QList<QVariantMap> CVolumeMgr::enumDiskVolumesInfo(quint64* serial)
{
    Throttle& t = throttle();
    quint64 mine = 0;
    {
        std::unique_lock lock(t.mutex);
        const auto now = Clock::now();
        const auto window = std::chrono::milliseconds(t.windowMs);
        if (t.started && now - t.lastStart < window) {
            if (!t.trailingScheduled) {
                t.trailingScheduled = true;
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t.lastStart + window - now);
                scheduleTrailingScan(m_source, int(left.count()), t.generation);
            }
            t.idle.wait(lock, [&t] { return !t.scanning; });
            if (serial)
                *serial = t.lastListSerial;
            return t.lastList;
        }
        t.idle.wait(lock, [&t] { return !t.scanning; });
        t.scanning = true;
        t.started = true;
        t.lastStart = now;
        mine = ++t.started_;
    }
    if (serial)
        *serial = mine;
    return scanAndRecord(*this, mine);
}

std::optional<QVariantMap> CVolumeMgr::EUGetDiskInfo(const QString& deviceIdentifier)
{
    if (deviceIdentifier.isEmpty())
        return std::nullopt;
    return m_source->info(deviceIdentifier);
}

QList<QVariantMap> CVolumeMgr::scanVolumes()
{
    QList<QVariantMap> volumes;
    const std::optional<QVariantMap> list = m_source->list();
    if (!list) {
        platform::log(QStringLiteral("diskutil list error"));
        return volumes;
    }
    for (const QVariant& diskValue : list->value(QStringLiteral("AllDisksAndPartitions")).toList()) {
        const QVariantMap disk = diskValue.toMap();
        const QVariantList partitions = disk.value(QStringLiteral("Partitions")).toList();
        const QVariantList members = partitions.isEmpty() ? disk.value(QStringLiteral("APFSVolumes")).toList() : partitions;
        if (members.isEmpty() && !text(disk, QStringLiteral("Content")).isEmpty())
            continue;

        if (partitions.isEmpty()) {
            // A volume on the whole disk (or an APFS container): listed by its
            // own info. Disk images are hidden here as their partitions are.
            const std::optional<QVariantMap> info = EUGetDiskInfo(text(disk, QStringLiteral("DeviceIdentifier")));
            if (info && !text(*info, QStringLiteral("FilesystemName")).isEmpty()
                && text(*info, QStringLiteral("BusProtocol")) != QLatin1String("Disk Image")
                && !isLinuxNonVolume(text(*info, QStringLiteral("Content"))))
                volumes << MakeVolumeInfo(*info);
        }

        bool helperIdsRead = false;
        QString recoveryId, booterId;
        for (const QVariant& memberValue : members) {
            const QVariantMap m = memberValue.toMap();
            const QString id = text(m, QStringLiteral("DeviceIdentifier"));
            const QString mContent = text(m, QStringLiteral("Content"));
            if (isOneOf(mContent, {"Apple_Boot", "EFI", "Apple_CoreStorage", "Apple_APFS"}) || isLinuxNonVolume(mContent))
                continue;
            if (text(m, QStringLiteral("FilesystemName")) == QLatin1String("Case-sensitive APFS"))
                continue;
            if (isOneOf(text(m, QStringLiteral("MountPoint")), {"/System/Volumes/Update/mnt1", "/System/Volumes/Data"}))
                continue;

            const std::optional<QVariantMap> found = EUGetDiskInfo(id);
            if (!found)
                continue;
            const QVariantMap& i = *found;
            const QString mountPoint = text(i, QStringLiteral("MountPoint"));
            const bool ejectable = i.value(QStringLiteral("Ejectable")).toBool();
            const quint64 total = number(i, QStringLiteral("TotalSize"));
            if (text(i, QStringLiteral("BusProtocol")) == QLatin1String("Disk Image"))
                continue;
            if (isOneOf(text(i, QStringLiteral("Content")), {"Apple_Boot", "EFI", "Apple_CoreStorage"})
                || isLinuxNonVolume(text(i, QStringLiteral("Content"))))
                continue;
            if (mountPoint.isEmpty() && !ejectable)
                continue;
            // A missing name is not an empty one.
            if (i.contains(QStringLiteral("VolumeName")) && text(i, QStringLiteral("VolumeName")).isEmpty() && total != 0
                && !ejectable)
                continue;
            if (text(i, QStringLiteral("FilesystemName")) == QLatin1String("Case-sensitive APFS"))
                continue;
            if (mountPoint == QLatin1String("/System/Volumes/Update/mnt1"))
                continue;
            if (mountPoint == QLatin1String("/System/Volumes/Update") && !ejectable)
                continue;
            if (isOneOf(mountPoint, {"/System/Volumes/Data", "/System/Volumes/VM"}))
                continue;
            if (total >= 1 && total <= 29999999)
                continue;

            const QVariantMap description = MakeVolumeInfo(i);
            const QString name = text(description, QStringLiteral("volumeName"));
            if (isOneOf(name, {"Preboot", "Recovery", "VM"})) {
                if (mountPoint.isEmpty())
                    continue;
                if (!helperIdsRead) {
                    helperIdsRead = true;
                    recoveryId = text(i, QStringLiteral("RecoveryDeviceIdentifier"));
                    booterId = text(i, QStringLiteral("BooterDeviceIdentifier"));
                }
                if (name == QLatin1String("Recovery") && id == recoveryId)
                    continue;
                if (name == QLatin1String("Preboot") && id == booterId)
                    continue;
            }
            if (isOneOf(text(i, kDADiskDescriptionVolumeNameKey), {"iSCPreboot", "VM", "Recovery", "Update", "EFI"}))
                continue;
            volumes << description;
        }
    }
    return volumes;
}

QVariantMap CVolumeMgr::MakeVolumeInfo(const QVariantMap& info)
{
    QString name = text(info, QStringLiteral("VolumeName"));
    if (name.isEmpty())
        name = QStringLiteral("Untitled");
    quint64 free = number(info, QStringLiteral("FreeSpace"));
    if (free == 0)
        free = number(info, QStringLiteral("APFSContainerFree"));
    const quint64 total = number(info, QStringLiteral("TotalSize"));

    QVariantMap d;
    d[QStringLiteral("volumeName")] = name;
    d[QStringLiteral("volumePath")] = text(info, QStringLiteral("DeviceIdentifier"));
    d[QStringLiteral("FreeSpace")] = QString::number(free);
    d[QStringLiteral("TotalSize")] = QString::number(total);
    // An unmounted file system's free space is not known, not zero.
    d[QStringLiteral("volumeFreeSize")] = text(info, QStringLiteral("MountPoint")).isEmpty() ? QStringLiteral("Unknown")
                                                                                           : convertSize2String(free);
    d[QStringLiteral("volumeTotalSize")] = convertSize2String(total);
    for (const char* key : {"FilesystemName", "Ejectable", "Writable", "BusProtocol", "MountPoint", "ParentWholeDisk", "DiskUUID",
                            "SystemVolume", "SystemDisk", "DiskSequence", "VolumeUUID"}) {
        const QString k = QLatin1String(key);
        if (info.contains(k))
            d[k] = info.value(k);
    }
    return d;
}

VolumeObjPtr CVolumeMgr::volumeObjFromDescription(const QVariantMap& d)
{
    auto v = std::make_shared<VolumeObj>();
    v->volumeName = text(d, QStringLiteral("volumeName"));
    v->BusProtocol = text(d, QStringLiteral("BusProtocol"));
    v->bCanEject = d.value(QStringLiteral("Ejectable")).toBool();
    v->volumeTotalSize = text(d, QStringLiteral("volumeTotalSize"));
    v->volumeFreeSize = text(d, QStringLiteral("volumeFreeSize"));
    v->diskType = text(d, QStringLiteral("FilesystemName"));
    v->volumePath = text(d, QStringLiteral("volumePath"));
    v->parentWholeDisk = text(d, QStringLiteral("ParentWholeDisk"));
    v->volumeMountPoint = text(d, QStringLiteral("MountPoint"));
    v->diskUUID = text(d, QStringLiteral("DiskUUID"));
    v->volumeTotalSizeNum = text(d, QStringLiteral("TotalSize")).toLongLong();
    v->volumeFreeSizeNum = text(d, QStringLiteral("FreeSpace")).toLongLong();
    v->isWritable = d.value(QStringLiteral("Writable")).toBool();
    v->diskSequence = d.value(QStringLiteral("DiskSequence")).toULongLong();
    v->fileSystemUUID = text(d, QStringLiteral("VolumeUUID"));
    return v;
}

QString CVolumeMgr::convertSize2String(uint64_t bytes)
{
    // Single precision, as the list has always shown sizes: two decimals of
    // a 24-bit mantissa are plenty for a size text.
    const float value = float(bytes);
    if (bytes <= 999)
        return QStringLiteral("%1 byte").arg(bytes);
    if (bytes <= 999999)
        return QString::asprintf("%0.2f KB", double(value / 1000.0f));
    if (bytes <= 999999999)
        return QString::asprintf("%0.2f MB", double(value / 1000000.0f));
    return QString::asprintf("%0.2f GB", double(value / 1000000000.0f));
}
