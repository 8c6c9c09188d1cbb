#include "Describe.h"

#include "platform/FileSystemInfo.h"

#include "FileSystems.h"

#include <QFile>
#include <QHash>

#include <sys/statvfs.h>

namespace diskutil {

const QString kDADiskDescriptionVolumeNameKey = QStringLiteral("DAVolumeName");

namespace {

// Partition types by GPT type GUID and MBR code. Only the ones the program's
// filters or a person need to tell apart are named.
const QHash<QString, QString>& partitionTypeNames()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("c12a7328-f81f-11d2-ba4b-00a0c93ec93b"), QStringLiteral("EFI")},
        {QStringLiteral("0xef"), QStringLiteral("EFI")},
        {QStringLiteral("21686148-6449-6e6f-744e-656564454649"), QStringLiteral("BIOS_Boot")},
        {QStringLiteral("426f6f74-0000-11aa-aa11-00306543ecac"), QStringLiteral("Apple_Boot")},
        {QStringLiteral("48465300-0000-11aa-aa11-00306543ecac"), QStringLiteral("Apple_HFS")},
        {QStringLiteral("7c3457ef-0000-11aa-aa11-00306543ecac"), QStringLiteral("Apple_APFS")},
        {QStringLiteral("53746f72-6167-11aa-aa11-00306543ecac"), QStringLiteral("Apple_CoreStorage")},
        {QStringLiteral("0657fd6d-a4ab-43c4-84e5-0933c84b4f4f"), QStringLiteral("Linux_Swap")},
        {QStringLiteral("0x82"), QStringLiteral("Linux_Swap")},
        {QStringLiteral("e6d6d379-f507-44c2-a23c-238f2a3df928"), QStringLiteral("Linux_LVM")},
        {QStringLiteral("0x8e"), QStringLiteral("Linux_LVM")},
        {QStringLiteral("a19d880f-05fc-4d3b-a006-743f0f84911e"), QStringLiteral("Linux_RAID")},
        {QStringLiteral("0xfd"), QStringLiteral("Linux_RAID")},
        {QStringLiteral("ca7d7ccb-63ed-4c53-861c-1742536059cc"), QStringLiteral("Linux_LUKS")},
        {QStringLiteral("0fc63daf-8483-4772-8e79-3d69d8477de4"), QStringLiteral("Linux_Filesystem")},
        {QStringLiteral("0x83"), QStringLiteral("Linux")},
        {QStringLiteral("ebd0a0a2-b9e5-4433-87c0-68b6b72699c7"), QStringLiteral("Microsoft_Basic_Data")},
        {QStringLiteral("e3c9e316-0b5c-4db8-817d-f92df00215ae"), QStringLiteral("Microsoft_Reserved")},
        {QStringLiteral("0x7"), QStringLiteral("Windows_NTFS")},
        {QStringLiteral("0xb"), QStringLiteral("Windows_FAT_32")},
        {QStringLiteral("0xc"), QStringLiteral("Windows_FAT_32")},
        {QStringLiteral("0x6"), QStringLiteral("DOS_FAT_16")},
        {QStringLiteral("0xe"), QStringLiteral("DOS_FAT_16")},
        {QStringLiteral("0x5"), QStringLiteral("DOS_Extended")},
        {QStringLiteral("0xf"), QStringLiteral("DOS_Extended")},
        {QStringLiteral("0x85"), QStringLiteral("DOS_Extended")},
    };
    return names;
}

// What lives on a device that is no volume, whatever its partition type says.
QString nonVolumeContent(const Probe& p)
{
    if (p.fsType == QLatin1String("swap"))
        return QStringLiteral("Linux_Swap");
    if (p.fsType == QLatin1String("LVM2_member"))
        return QStringLiteral("Linux_LVM");
    if (p.fsType.startsWith(QLatin1String("crypto_")))
        return QStringLiteral("Linux_LUKS");
    if (p.fsType == QLatin1String("linux_raid_member") || p.usage == QLatin1String("raid"))
        return QStringLiteral("Linux_RAID");
    return {};
}

struct SpaceOnVolume
{
    qint64 free = 0;
    bool writable = true;
};

SpaceOnVolume spaceAt(const QString& mountPoint, const BlockDevice& d)
{
    SpaceOnVolume s;
    struct statvfs st{};
    if (::statvfs(mountPoint.toUtf8().constData(), &st) == 0) {
        s.free = qint64(st.f_bavail) * qint64(st.f_frsize);
        s.writable = !(st.f_flag & ST_RDONLY);
        // The FUSE FAT driver reports no blocks, but its free "inodes" are
        // the free clusters.
        if (st.f_blocks == 0 && d.probe.fsType == QLatin1String("vfat"))
            s.free = qint64(st.f_ffree) * platform::fatClusterSize(d.node());
    }
    return s;
}

QString preferredMountPoint(const BlockDevice& d)
{
    for (const QString& mp : d.mountPoints)
        if (mp.startsWith(QLatin1String("/media/")))
            return mp;
    return d.mountPoints.value(0);
}

QVariantMap listEntry(const BlockDevice& d)
{
    QVariantMap e;
    e[QStringLiteral("DeviceIdentifier")] = d.name;
    e[QStringLiteral("Size")] = d.size;
    e[QStringLiteral("DiskSequence")] = diskSequenceOf(d.wholeDisk);
    e[QStringLiteral("Content")] = contentOf(d);
    const QString fsName = filesystemNameOf(d);
    if (!fsName.isEmpty()) {
        e[QStringLiteral("FilesystemName")] = fsName;
        e[QStringLiteral("VolumeName")] = d.probe.label;
        if (!d.probe.uuid.isEmpty())
            e[QStringLiteral("VolumeUUID")] = d.probe.uuid;
    }
    if (!d.diskUuid().isEmpty())
        e[QStringLiteral("DiskUUID")] = d.diskUuid();
    if (d.isMounted())
        e[QStringLiteral("MountPoint")] = preferredMountPoint(d);
    return e;
}

}  // namespace

QString contentOf(const BlockDevice& d)
{
    if (const QString other = nonVolumeContent(d.probe); !other.isEmpty())
        return other;
    if (d.isWholeDisk()) {
        // A file system on the whole disk wins over the partition-table
        // signature that FAT-like boot sectors also carry.
        if (d.probe.usage == QLatin1String("filesystem"))
            return {};
        if (d.probe.tableType == QLatin1String("gpt"))
            return QStringLiteral("GUID_partition_scheme");
        if (d.probe.tableType == QLatin1String("dos"))
            return QStringLiteral("FDisk_partition_scheme");
        if (!d.probe.tableType.isEmpty())
            return d.probe.tableType + QStringLiteral("_partition_scheme");
        return {};  // a file system on the whole disk, or nothing at all
    }
    const QString type = d.probe.partEntryType;
    if (type.isEmpty())
        return {};
    return partitionTypeNames().value(type, type);
}

QString filesystemNameOf(const BlockDevice& d)
{
    if (!nonVolumeContent(d.probe).isEmpty() || d.probe.fsType.isEmpty())
        return {};
    if (const FileSystem* fs = fileSystemForProbe(d.probe.fsType, d.probe.fsVersion))
        return fs->name;
    if (d.probe.usage == QLatin1String("filesystem"))
        return d.probe.fsType;
    return {};
}

QString busProtocolOf(const BlockDevice& d, const Presentation& how)
{
    if (d.isLoop())
        return how.loopAsUsb ? QStringLiteral("USB") : QStringLiteral("Disk Image");
    static const QHash<QString, QString> names{
        {QStringLiteral("usb"), QStringLiteral("USB")},
        {QStringLiteral("sata"), QStringLiteral("SATA")},
        {QStringLiteral("ata"), QStringLiteral("ATA")},
        {QStringLiteral("nvme"), QStringLiteral("PCI-Express")},
        {QStringLiteral("sas"), QStringLiteral("SAS")},
        {QStringLiteral("spi"), QStringLiteral("SCSI")},
        {QStringLiteral("mmc"), QStringLiteral("Secure Digital")},
        {QStringLiteral("fc"), QStringLiteral("Fibre Channel")},
        {QStringLiteral("iscsi"), QStringLiteral("iSCSI")},
        {QStringLiteral("ieee1394"), QStringLiteral("FireWire")},
    };
    if (names.contains(d.transport))
        return names.value(d.transport);
    if (d.name.startsWith(QLatin1String("vd")) || d.name.startsWith(QLatin1String("xvd")))
        return QStringLiteral("Virtual Interface");
    if (d.name.startsWith(QLatin1String("nbd")))
        return QStringLiteral("Network");
    return d.transport.isEmpty() ? QStringLiteral("Unknown") : d.transport.toUpper();
}

QVariantMap listDictionary(DeviceTable& table)
{
    table.probeAll();
    QVariantList all, wholeDisks, volumes, tree;
    for (const BlockDevice& d : table.devices()) {
        all << d.name;
        if (d.isWholeDisk())
            wholeDisks << d.name;
        if (!filesystemNameOf(d).isEmpty())
            volumes << d.name;
        if (!d.isWholeDisk())
            continue;
        QVariantMap disk = listEntry(d);
        if (!d.partitions.isEmpty()) {
            QVariantList parts;
            for (const QString& name : d.partitions)
                if (const BlockDevice* p = table.device(name))
                    parts << listEntry(*p);
            disk[QStringLiteral("Partitions")] = parts;
        }
        tree << disk;
    }
    return {{QStringLiteral("AllDisks"), all},
            {QStringLiteral("AllDisksAndPartitions"), tree},
            {QStringLiteral("VolumesFromDisks"), volumes},
            {QStringLiteral("WholeDisks"), wholeDisks}};
}

QVariantMap infoDictionary(DeviceTable& table, const BlockDevice& device, const Presentation& how)
{
    // Only the device itself is read: nothing below needs its disk's probe.
    table.probe({device.name});
    const BlockDevice& d = *table.device(device.name);
    const BlockDevice* disk = table.wholeDiskOf(d);

    const bool loop = d.isLoop();
    const bool usbLike = loop ? how.loopAsUsb : d.transport == QLatin1String("usb");
    // A disk image can always be detached; a drive is ejectable when the
    // kernel calls its medium removable or the drive itself hot-pluggable.
    const bool ejectable = loop || usbLike || d.removable || d.hotplug;
    const bool removable = loop ? how.loopAsUsb : (d.removable || d.hotplug || usbLike);

    const QString mountPoint = d.isMounted() ? preferredMountPoint(d) : QString();
    SpaceOnVolume space;
    if (!mountPoint.isEmpty())
        space = spaceAt(mountPoint, d);
    QString fsName = filesystemNameOf(d);
    QString fsType = d.probe.fsType;
    // Some systems refuse even root a read of their own disk, and blkid then
    // says nothing: what the kernel mounted it as still names its type.
    if (fsType.isEmpty() && !d.mountedType.isEmpty() && !d.mountedType.startsWith(QLatin1String("fuse"))) {
        fsType = d.mountedType;
        const FileSystem* fs = fileSystemForProbe(fsType, {});
        fsName = fs ? fs->name : fsType;
    }

    QVariantMap info;
    info[QStringLiteral("DeviceIdentifier")] = d.name;
    info[QStringLiteral("DeviceNode")] = d.node();
    info[QStringLiteral("ParentWholeDisk")] = d.wholeDisk;
    info[QStringLiteral("WholeDisk")] = d.isWholeDisk();
    // With VolumeUUID, what an acting command is told to expect, so a medium
    // swapped in at the same node is never taken for the one chosen.
    info[QStringLiteral("DiskSequence")] = diskSequenceOf(d.wholeDisk);
    info[QStringLiteral("Content")] = contentOf(d);
    info[QStringLiteral("FilesystemName")] = fsName;
    info[QStringLiteral("FilesystemType")] = fsType;
    info[QStringLiteral("VolumeName")] = fsName.isEmpty() ? QString() : d.probe.label;
    // Only the system's own volumes carry the disk-description name: it is
    // how callers spot helper volumes ("EFI", "Recovery", ...), and a user's
    // stick that happens to be named "EFI" must not vanish from their lists.
    if (table.isSystemDevice(d))
        info[kDADiskDescriptionVolumeNameKey] = info[QStringLiteral("VolumeName")];
    info[QStringLiteral("MountPoint")] = mountPoint;
    info[QStringLiteral("TotalSize")] = d.size;
    info[QStringLiteral("Size")] = d.size;
    info[QStringLiteral("FreeSpace")] = space.free;
    // The file system is its own container here.
    info[QStringLiteral("APFSContainerFree")] = space.free;
    info[QStringLiteral("BusProtocol")] = busProtocolOf(disk ? *disk : d, how);
    info[QStringLiteral("Ejectable")] = ejectable;
    info[QStringLiteral("Removable")] = removable;
    info[QStringLiteral("Internal")] = !ejectable;
    info[QStringLiteral("Writable")] = !d.readOnly && (mountPoint.isEmpty() || (space.writable && !d.mountedReadOnly));
    info[QStringLiteral("DiskUUID")] = d.diskUuid();
    info[QStringLiteral("VolumeUUID")] = d.probe.uuid;
    // No recovery or booter volumes exist on this platform.
    info[QStringLiteral("RecoveryDeviceIdentifier")] = QString();
    info[QStringLiteral("BooterDeviceIdentifier")] = QString();
    if (!d.model.isEmpty())
        info[QStringLiteral("MediaName")] = d.model;
    info[QStringLiteral("SystemVolume")] = table.isSystemDevice(d);
    // The disk holds a system volume: ejecting it would take the system's too.
    info[QStringLiteral("SystemDisk")] = disk ? table.diskHoldsSystem(*disk) : table.isSystemDevice(d);
    return info;
}

namespace {

bool isControl(char16_t c) { return c < 0x20 || (c >= 0x7f && c < 0xa0); }

QString escaped(const QString& text, bool keepLines)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (keepLines && c == u'\n')
            out += ch;
        else if (isControl(c))
            out += QStringLiteral("\\x%1").arg(unsigned(c), 2, 16, QLatin1Char('0'));
        else if (!keepLines && c == u'\\')
            out += QStringLiteral("\\\\");
        else
            out += ch;
    }
    return out;
}

}  // namespace

QString visibleText(const QString& text) { return escaped(text, false); }

QString withoutControls(const QString& text) { return escaped(text, true); }

QString listText(const QVariantMap& list)
{
    QString out;
    auto line = [&out](const QVariantMap& e, const QString& indent) {
        QStringList columns;
        for (const char* key : {"DeviceIdentifier", "Content", "FilesystemName", "VolumeName", "MountPoint"})
            columns << visibleText(e.value(QLatin1String(key)).toString());
        out += indent + columns.join(QStringLiteral("  ")).trimmed() + '\n';
    };
    for (const QVariant& v : list.value(QStringLiteral("AllDisksAndPartitions")).toList()) {
        const QVariantMap disk = v.toMap();
        line(disk, QString());
        for (const QVariant& p : disk.value(QStringLiteral("Partitions")).toList())
            line(p.toMap(), QStringLiteral("  "));
    }
    return out;
}

QString infoText(const QVariantMap& info)
{
    QString out;
    for (auto it = info.begin(); it != info.end(); ++it) {
        QString value = it.value().typeId() == QMetaType::Bool ? (it.value().toBool() ? QStringLiteral("Yes") : QStringLiteral("No"))
                                                               : visibleText(it.value().toString());
        out += QStringLiteral("%1: %2\n").arg(it.key(), -26).arg(value);
    }
    return out;
}

}  // namespace diskutil
