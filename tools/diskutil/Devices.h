#pragma once
#include "platform/MountTable.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QJsonArray;

namespace diskutil {

// What libblkid finds on a device when it reads it directly.
struct Probe
{
    QString fsType;            // "ext4", "vfat", "swap", "crypto_LUKS", ...
    QString fsVersion;         // "FAT32", "1.0", ...
    QString label;
    bool hasLabel = false;
    QString uuid;              // the file system's UUID
    QString usage;             // "filesystem", "raid", "crypto", "other"
    QString tableType;         // partition table of a whole disk: "gpt", "dos"
    QString tableUuid;
    QString partEntryType;     // this partition's type GUID or MBR code
    QString partEntryUuid;

    // Reads the device itself with libblkid, in this process, and gives what
    // `blkid -p -o udev` gives, in the same forms. Empty when the device cannot
    // be opened, holds nothing known, or holds more than one signature.
    static Probe read(const QString& node);
    // Sets up libblkid's process-wide state once, before reads on several threads.
    static void prepareThreads();
};

// How many devices a list probes at once.
inline constexpr unsigned kProbeThreads = 4;

struct BlockDevice
{
    QString name;              // kernel name: sdb1, loop0
    QString type;              // "disk", "loop" or "part"
    QString wholeDisk;         // the disk's kernel name (its own for a disk)
    qint64 size = 0;
    bool removable = false;
    bool readOnly = false;
    bool hotplug = false;
    QString transport;         // lsblk TRAN of the whole disk: usb, sata, nvme, ...
    QString model;
    unsigned major = 0;
    unsigned minor = 0;
    QStringList partitions;    // kernel names, for a whole disk
    QStringList mountPoints;
    // Where the device-mapper, LVM, LUKS or RAID volumes stacked on this
    // device are mounted: they live on it as much as its own file system does.
    QStringList stackedMountPoints;
    bool mountedReadOnly = false;
    QString mountedType;       // the mount table's type of its first mount
    QString backingFile;       // a loop device's image when the table was read
    bool probed = false;
    Probe probe;

    QString node() const { return QStringLiteral("/dev/") + name; }
    bool isWholeDisk() const { return type != QLatin1String("part"); }
    bool isLoop() const { return name.startsWith(QLatin1String("loop")); }
    bool isMounted() const { return !mountPoints.isEmpty(); }
    // The UUID that names this partition (or, without one, its file system).
    QString diskUuid() const;
};

// The device node a /dev path leads to (links followed); empty for a path
// outside /dev.
QString canonicalDevice(const QString& path);
// The device paths /proc/swaps lists.
QStringList readSwaps();

// The image a loop device is attached to now; empty when it is detached.
QString loopBackingFile(const QString& loopName);
// The kernel's number for the medium in a whole disk: it changes whenever
// another medium (another image, another stick) takes the same device node.
// 0 when the kernel gives none.
quint64 diskSequenceOf(const QString& wholeDisk);

// The block devices as lsblk lists them, with their mount points, probed with
// libblkid on demand (only what a command needs).
class DeviceTable
{
public:
    // Runs lsblk and reads the mount table; nothing with the reason when lsblk
    // fails. Devices named in `probeAlongside` are probed too.
    static std::optional<DeviceTable> scan(QString* error, const QStringList& probeAlongside = {});
    static DeviceTable fromLsblk(const QByteArray& json, const QList<platform::MountEntry>& mounts,
                                 const QStringList& swaps = {});
    // Only the named disk or partition, its disk and the disk's partitions,
    // read from sysfs and the mount table: no lsblk over every device.
    // Nothing, with the reason, for a device diskutil does not manage.
    static std::optional<DeviceTable> scanOne(const QString& kernelName, QString* error,
                                              const QString& sysBlock = QStringLiteral("/sys/class/block"));

    const QList<BlockDevice>& devices() const { return m_devices; }
    const BlockDevice* device(const QString& name) const;
    const BlockDevice* wholeDiskOf(const BlockDevice& device) const;

    // Probes the named devices (those not probed yet).
    void probe(const QStringList& names);
    void probeAll();
    // A probe result known beforehand (tests): the device is not read.
    void setProbe(const QString& name, const Probe& probe);

    // A kernel name, a device node, a mount point, a UUID or a volume name.
    // Nothing, with the reason, when the target names no device or more than one.
    const BlockDevice* resolve(const QString& target, QString* error);

    // Mounted where the system lives, or in use as swap.
    bool isSystemDevice(const BlockDevice& device) const;
    // The disk, or any partition on it, is a system device.
    bool diskHoldsSystem(const BlockDevice& disk) const;

    static const QStringList& systemMountPoints();

private:
    void readLabels(const QStringList& names);
    void addStacked(const QString& owner, const QJsonArray& children);
    void attachMounts(const QList<platform::MountEntry>& mounts);

    // A volume stacked on one of the table's devices (at any depth).
    struct Stacked
    {
        QString owner;         // the disk or partition it sits on
        QString name;          // its kernel name: dm-0, md127
        unsigned major = 0;
        unsigned minor = 0;
    };

    QList<BlockDevice> m_devices;
    QList<Stacked> m_stacked;
    QStringList m_swaps;
};

}  // namespace diskutil
