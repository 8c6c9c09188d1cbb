#include "WipeDisk/WipeVolumes.h"

#include "platform/MountTable.h"

#include <QSet>

namespace WipeVolumes {

QString byteToSizeWithByte(uint64_t b)
{
    // The quotient is a 32-bit float, as the list has always shown it.
    if (b < 1000ULL)
        return QString::asprintf("%.0f byte", double(float(b)));
    if (b <= 999'999ULL)
        return QString::asprintf("%.2f KB", double(float(double(b) / 1e3)));
    if (b <= 999'999'999ULL)
        return QString::asprintf("%.2f MB", double(float(double(b) / 1e6)));
    if (b <= 999'999'999'999ULL)
        return QString::asprintf("%.2f GB", double(float(double(b) / 1e9)));
    return QString::asprintf("%.2f TB", double(float(double(b) / 1e12)));
}

std::optional<QVariantMap> getDisjInfo(const platform::DiskTool& tool, const QString& deviceNode)
{
    if (deviceNode.isEmpty())
        return std::nullopt;
    return tool.runPlist({QStringLiteral("info"), QStringLiteral("-plist"), deviceNode});
}

VolumeObjPtr volumeFromInfo(const QVariantMap& info)
{
    if (!info.contains(QStringLiteral("VolumeName")) || info.value(QStringLiteral("DeviceNode")).toString().isEmpty())
        return nullptr;
    const QString name = info.value(QStringLiteral("VolumeName")).toString();
    if (name == QLatin1String("EFI"))
        return nullptr;
    // Loop devices are disk images; they are hidden like images, unless a
    // test asks diskutil to show them as USB volumes.
    if (info.value(QStringLiteral("BusProtocol")).toString() == QLatin1String("Disk Image"))
        return nullptr;
    auto v = std::make_shared<VolumeObj>();
    const QString node = info.value(QStringLiteral("DeviceNode")).toString();
    // One name for a volume without a label on every screen; the device
    // beside it says which one it is.
    v->volumeName = name.isEmpty() ? QStringLiteral("Untitled") : name;
    v->volumeType = info.value(QStringLiteral("FilesystemName")).toString();
    const int64_t total = info.value(QStringLiteral("TotalSize")).toLongLong();
    int64_t free = info.value(QStringLiteral("FreeSpace")).toLongLong();
    if (v->volumeType == QLatin1String("APFS") && free == 0)
        free = info.value(QStringLiteral("APFSContainerFree")).toLongLong();
    v->volumeTotalSize = byteToSizeWithByte(uint64_t(std::max<int64_t>(total, 0)));
    v->volumeFreeSize = byteToSizeWithByte(uint64_t(std::max<int64_t>(free, 0)));
    v->volRootDir = node;
    v->volumePath = node;
    v->volumeMountPoint = info.value(QStringLiteral("MountPoint")).toString();
    v->BusProtocol = info.value(QStringLiteral("BusProtocol")).toString();
    v->bCanEject = info.value(QStringLiteral("Ejectable")).toBool();
    v->isWritable = info.value(QStringLiteral("Writable"), true).toBool();
    v->volumeTotalSizeNum = total;
    v->volumeFreeSizeNum = free;
    v->diskSequence = info.value(QStringLiteral("DiskSequence")).toULongLong();
    v->fileSystemUUID = info.value(QStringLiteral("VolumeUUID")).toString();
    return v;
}

bool holdsMedium(const QVariantMap& info, const VolumeObj& chosen, bool sameFileSystem)
{
    if (info.value(QStringLiteral("DeviceNode")).toString() != chosen.volumePath)
        return false;
    if (chosen.diskSequence != 0 && info.value(QStringLiteral("DiskSequence")).toULongLong() != chosen.diskSequence)
        return false;
    return !sameFileSystem || chosen.fileSystemUUID.isEmpty() ||
           info.value(QStringLiteral("VolumeUUID")).toString().compare(chosen.fileSystemUUID, Qt::CaseInsensitive) == 0;
}

QList<VolumeObjPtr> scan(const platform::DiskTool& tool)
{
    QList<VolumeObjPtr> list;
    QSet<QString> asked;
    for (const platform::MountEntry& e : platform::readMountTable()) {
        if (!e.source.startsWith(QLatin1String("/dev/")) || asked.contains(e.source))
            continue;
        asked.insert(e.source);
        const std::optional<QVariantMap> info = getDisjInfo(tool, e.source);
        if (!info)
            continue;
        const VolumeObjPtr v = volumeFromInfo(*info);
        if (!v || v->volumeMountPoint.isEmpty())
            continue;
        bool known = false;
        for (const VolumeObjPtr& seen : list)
            known = known || seen->volumePath == v->volumePath;
        if (!known)
            list.append(v);
    }
    return list;
}

bool isSystemMountPoint(const QString& mountPoint)
{
    static const QSet<QString> system{QStringLiteral("/"),    QStringLiteral("/boot"), QStringLiteral("/boot/efi"),
                                      QStringLiteral("/usr"), QStringLiteral("/var"),  QStringLiteral("/home")};
    return system.contains(mountPoint);
}

bool isSystemVolume(const QVariantMap& info)
{
    return info.value(QStringLiteral("SystemVolume")).toBool() ||
           isSystemMountPoint(info.value(QStringLiteral("MountPoint")).toString());
}

}  // namespace WipeVolumes
