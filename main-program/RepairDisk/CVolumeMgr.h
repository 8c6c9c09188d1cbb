#pragma once
#include "Comm/VolumeObj.h"
#include "platform/DiskTool.h"

#include <QList>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

// Where the enumeration gets diskutil's answers: the tool itself, or parsed
// dictionaries in tests.
class VolumeInfoSource
{
public:
    virtual ~VolumeInfoSource() = default;
    virtual std::optional<QVariantMap> list() = 0;                           // list -plist
    virtual std::optional<QVariantMap> info(const QString& deviceIdentifier) = 0;  // info -plist /dev/<id>
};

class DiskToolVolumeSource : public VolumeInfoSource
{
public:
    explicit DiskToolVolumeSource(platform::DiskTool tool = {}) : m_tool(std::move(tool)) {}
    std::optional<QVariantMap> list() override;
    std::optional<QVariantMap> info(const QString& deviceIdentifier) override;

private:
    platform::DiskTool m_tool;
};

// Posted on the notification centre when a rescan that the throttle put off
// has run; its user info holds the new list under "volumes".
extern const QString CVolumeMgrVolumesNotification;

// The Disk Manager's list of volumes a user may act on: diskutil's disks and
// partitions, less boot, EFI and container partitions, the system's hidden
// volumes, disk images, tiny partitions, unmounted fixed partitions, and
// Linux's own non-volumes (swap, LVM, LUKS and RAID members).
class CVolumeMgr
{
public:
    // nullptr: diskutil through the default runner.
    explicit CVolumeMgr(std::shared_ptr<VolumeInfoSource> source = nullptr);

    // The list, at most one scan per throttle window process-wide. A call
    // inside the window gets the latest list (waiting for a scan that is
    // running) and one rescan is scheduled for the window's end, announced
    // with CVolumeMgrVolumesNotification (its "serial" is that scan's).
    // `serial`, when given, receives the serial of the scan the list came
    // from: a list read after a change has a serial above scansStarted() as
    // it was at the change. Call on a background thread.
    QList<QVariantMap> enumDiskVolumesInfo(quint64* serial = nullptr);
    // How many scans have started in this process.
    static quint64 scansStarted();

    // One enumeration, without the throttle.
    QList<QVariantMap> scanVolumes();

    std::optional<QVariantMap> EUGetDiskInfo(const QString& deviceIdentifier);
    static QVariantMap MakeVolumeInfo(const QVariantMap& info);
    static VolumeObjPtr volumeObjFromDescription(const QVariantMap& description);

    // The Disk Manager's size text: decimal units, no TB step.
    static QString convertSize2String(uint64_t bytes);

    // Tests: the throttle window (1000 ms by default) and a fresh start.
    static void setThrottleWindow(int ms);
    static void resetThrottle();

private:
    std::shared_ptr<VolumeInfoSource> m_source;
};
