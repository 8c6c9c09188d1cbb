// One device described from sysfs: what `info` needs, without asking lsblk
// about every block device on the machine.
#include "Devices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace diskutil {

namespace {

QByteArray readAttribute(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().trimmed();
}

// Transport the way lsblk names it, from where the disk hangs in the device tree.
QString transportOf(const QString& disk, const QString& devicePath)
{
    if (disk.startsWith(QLatin1String("nvme")))
        return QStringLiteral("nvme");
    if (disk.startsWith(QLatin1String("mmcblk")))
        return QStringLiteral("mmc");
    if (devicePath.contains(QLatin1String("/usb")))
        return QStringLiteral("usb");
    if (devicePath.contains(QLatin1String("/ata")))
        return QStringLiteral("sata");
    return {};
}

// A drive is hot-pluggable when a device above it says its port is removable.
bool hotpluggable(QString devicePath)
{
    while (devicePath.startsWith(QLatin1String("/sys/devices/"))) {
        if (readAttribute(devicePath + QStringLiteral("/removable")) == "removable")
            return true;
        devicePath = QFileInfo(devicePath).path();
    }
    return false;
}

bool readNumbers(const QString& folder, BlockDevice& d)
{
    const QList<QByteArray> numbers = readAttribute(folder + QStringLiteral("/dev")).split(':');
    if (numbers.size() != 2)
        return false;
    d.major = numbers[0].toUInt();
    d.minor = numbers[1].toUInt();
    return true;
}

}  // namespace

std::optional<DeviceTable> DeviceTable::scanOne(const QString& kernelName, QString* error, const QString& sysBlock)
{
    auto fail = [error](const QString& why) -> std::optional<DeviceTable> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QString folder = sysBlock + '/' + kernelName;
    if (kernelName.isEmpty() || kernelName.contains('/') || !QFileInfo::exists(folder + QStringLiteral("/dev")))
        return fail(QStringLiteral("%1: no such device").arg(kernelName));
    const bool isPartition = QFileInfo::exists(folder + QStringLiteral("/partition"));
    const QString devicePath = QFileInfo(folder).canonicalFilePath();
    const QString disk = isPartition ? QFileInfo(QFileInfo(devicePath).path()).fileName() : kernelName;
    const QString diskFolder = sysBlock + '/' + disk;
    const QString diskDevice = QFileInfo(diskFolder + QStringLiteral("/device")).canonicalFilePath();
    // What lsblk calls no disk: device-mapper, RAID and optical devices.
    if (QFileInfo::exists(diskFolder + QStringLiteral("/dm")) || QFileInfo::exists(diskFolder + QStringLiteral("/md"))
        || readAttribute(diskFolder + QStringLiteral("/device/type")) == "5")
        return fail(QStringLiteral("/dev/%1 is not a disk or partition that diskutil manages").arg(kernelName));

    auto describe = [&](const QString& name, bool partition) {
        const QString f = sysBlock + '/' + name;
        BlockDevice d;
        d.name = name;
        d.type = partition ? QStringLiteral("part") : name.startsWith(QLatin1String("loop")) ? QStringLiteral("loop")
                                                                                            : QStringLiteral("disk");
        d.wholeDisk = disk;
        d.size = readAttribute(f + QStringLiteral("/size")).toLongLong() * 512;
        d.readOnly = readAttribute(f + QStringLiteral("/ro")) == "1";
        d.removable = readAttribute(diskFolder + QStringLiteral("/removable")) == "1";
        d.hotplug = !diskDevice.isEmpty() && hotpluggable(diskDevice);
        d.transport = transportOf(disk, devicePath);
        d.model = QString::fromUtf8(readAttribute(diskFolder + QStringLiteral("/device/model")));
        readNumbers(f, d);
        return d;
    };

    DeviceTable table;
    table.m_swaps.clear();
    for (const QString& s : readSwaps())
        table.m_swaps << canonicalDevice(s);
    BlockDevice whole = describe(disk, false);
    if (whole.size <= 0)
        return fail(QStringLiteral("/dev/%1 is not a disk or partition that diskutil manages").arg(kernelName));
    QList<BlockDevice> parts;
    for (const QString& entry : QDir(diskFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (!entry.startsWith(disk) || !QFileInfo::exists(diskFolder + '/' + entry + QStringLiteral("/partition")))
            continue;
        parts << describe(entry, true);
        whole.partitions << entry;
    }
    table.m_devices << whole << parts;

    // Volumes stacked on each device, at any depth, as the holders say.
    std::function<void(const QString&, const QString&)> addHolders = [&](const QString& owner, const QString& of) {
        for (const QString& held : QDir(sysBlock + '/' + of + QStringLiteral("/holders"))
                                       .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
            BlockDevice h;
            readNumbers(sysBlock + '/' + held, h);
            table.m_stacked << Stacked{owner, held, h.major, h.minor};
            addHolders(owner, held);
        }
    };
    for (const BlockDevice& d : std::as_const(table.m_devices))
        addHolders(d.name, d.name);

    table.attachMounts(platform::readMountTable());
    for (BlockDevice& d : table.m_devices)
        if (d.isLoop())
            d.backingFile = loopBackingFile(d.wholeDisk);
    if (!table.device(kernelName))
        return fail(QStringLiteral("%1: no such device").arg(kernelName));
    return table;
}

}  // namespace diskutil
