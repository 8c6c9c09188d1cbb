#include "Devices.h"

#include "FileSystems.h"
#include "platform/ExternalCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace diskutil {

namespace {

// lsblk prints booleans and numbers as JSON values, older versions as texts.
bool jsonBool(const QJsonValue& v)
{
    if (v.isBool())
        return v.toBool();
    return v.toString() == QLatin1String("1") || v.toString() == QLatin1String("true");
}

qint64 jsonNumber(const QJsonValue& v)
{
    if (v.isDouble())
        return qint64(v.toDouble());
    return v.toString().toLongLong();
}

}  // namespace

QString canonicalDevice(const QString& path)
{
    if (!path.startsWith(QLatin1String("/dev/")))
        return {};
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

namespace {

BlockDevice fromJson(const QJsonObject& o)
{
    BlockDevice d;
    d.name = o.value(QLatin1String("kname")).toString();
    if (d.name.isEmpty())
        d.name = o.value(QLatin1String("name")).toString();
    d.type = o.value(QLatin1String("type")).toString();
    d.size = jsonNumber(o.value(QLatin1String("size")));
    d.removable = jsonBool(o.value(QLatin1String("rm")));
    d.readOnly = jsonBool(o.value(QLatin1String("ro")));
    d.hotplug = jsonBool(o.value(QLatin1String("hotplug")));
    d.transport = o.value(QLatin1String("tran")).toString();
    d.model = o.value(QLatin1String("model")).toString().trimmed();
    const QStringList numbers = o.value(QLatin1String("maj:min")).toString().split(':');
    if (numbers.size() == 2) {
        d.major = numbers[0].toUInt();
        d.minor = numbers[1].toUInt();
    }
    return d;
}

}  // namespace

QString BlockDevice::diskUuid() const
{
    return probe.partEntryUuid.isEmpty() ? probe.uuid : probe.partEntryUuid;
}

QStringList readSwaps()
{
    QStringList swaps;
    QFile swapFile(QStringLiteral("/proc/swaps"));
    if (swapFile.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = swapFile.readAll().split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray path = lines[i].simplified().split(' ').value(0);
            if (!path.isEmpty())
                swaps << QString::fromUtf8(path);
        }
    }
    return swaps;
}

quint64 diskSequenceOf(const QString& wholeDisk)
{
    QFile file(QStringLiteral("/sys/class/block/%1/diskseq").arg(wholeDisk));
    if (wholeDisk.isEmpty() || wholeDisk.contains('/') || !file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().toULongLong();
}

QString loopBackingFile(const QString& loopName)
{
    QFile file(QStringLiteral("/sys/block/%1/loop/backing_file").arg(loopName));
    if (loopName.contains('/') || !file.open(QIODevice::ReadOnly))
        return {};
    QByteArray path = file.readAll();
    if (path.endsWith('\n'))
        path.chop(1);
    return QString::fromUtf8(path);
}

std::optional<DeviceTable> DeviceTable::scan(QString* error, const QStringList& probeAlongside)
{
    const QString lsblk = findProgram(QStringLiteral("lsblk"));
    if (lsblk.isEmpty()) {
        if (error)
            *error = QStringLiteral("lsblk is not installed");
        return std::nullopt;
    }
    const platform::CommandResult r = platform::runCommand(
        lsblk, {QStringLiteral("-J"), QStringLiteral("-b"), QStringLiteral("-o"),
                QStringLiteral("KNAME,NAME,TYPE,SIZE,RM,RO,HOTPLUG,TRAN,MAJ:MIN,MODEL")},
        30000);
    if (!r.ok()) {
        if (error)
            *error = QStringLiteral("lsblk failed: ") + QString::fromUtf8(r.errors).trimmed();
        return std::nullopt;
    }
    DeviceTable table = fromLsblk(r.output, platform::readMountTable(), readSwaps());
    for (BlockDevice& d : table.m_devices)
        if (d.isLoop())
            d.backingFile = loopBackingFile(d.wholeDisk);
    QStringList early;
    for (const QString& name : probeAlongside)
        if (table.device(name))
            early << name;
    table.probe(early);
    return table;
}

DeviceTable DeviceTable::fromLsblk(const QByteArray& json, const QList<platform::MountEntry>& mounts,
                                   const QStringList& swaps)
{
    DeviceTable table;
    for (const QString& s : swaps)
        table.m_swaps << canonicalDevice(s);

    const QJsonArray top = QJsonDocument::fromJson(json).object().value(QLatin1String("blockdevices")).toArray();
    for (const QJsonValue& v : top) {
        const QJsonObject o = v.toObject();
        BlockDevice disk = fromJson(o);
        // Detached loop devices and empty drives have no size; optical drives
        // and device-mapper volumes are not disks this tool manages.
        if (disk.size <= 0 || (disk.type != QLatin1String("disk") && disk.type != QLatin1String("loop")))
            continue;
        disk.wholeDisk = disk.name;
        QList<BlockDevice> parts;
        for (const QJsonValue& c : o.value(QLatin1String("children")).toArray()) {
            BlockDevice part = fromJson(c.toObject());
            if (part.type != QLatin1String("part"))
                continue;
            part.wholeDisk = disk.name;
            part.transport = disk.transport;
            part.removable = part.removable || disk.removable;
            part.hotplug = part.hotplug || disk.hotplug;
            part.model = disk.model;
            disk.partitions << part.name;
            parts << part;
            table.addStacked(part.name, c.toObject().value(QLatin1String("children")).toArray());
        }
        // Volumes made straight on the whole disk (an LVM or RAID member disk).
        QJsonArray onDisk;
        for (const QJsonValue& c : o.value(QLatin1String("children")).toArray())
            if (c.toObject().value(QLatin1String("type")).toString() != QLatin1String("part"))
                onDisk << c;
        table.addStacked(disk.name, onDisk);
        table.m_devices << disk << parts;
    }

    table.attachMounts(mounts);
    return table;
}

void DeviceTable::attachMounts(const QList<platform::MountEntry>& mounts)
{
    for (const platform::MountEntry& m : mounts) {
        BlockDevice* match = nullptr;
        const QString source = canonicalDevice(m.source);
        for (BlockDevice& d : m_devices) {
            // Kernel mounts carry the device's numbers; FUSE drivers name the
            // device as their source instead.
            if ((m.major != 0 && d.major == m.major && d.minor == m.minor) || (!source.isEmpty() && source == d.node())) {
                match = &d;
                break;
            }
        }
        if (match && !match->mountPoints.contains(m.mountPoint)) {
            if (match->mountPoints.isEmpty()) {
                match->mountedReadOnly = m.readOnly();
                match->mountedType = m.fsType;
            }
            match->mountPoints << m.mountPoint;
        }
        if (match)
            continue;
        for (const Stacked& s : std::as_const(m_stacked)) {
            if ((m.major != 0 && s.major == m.major && s.minor == m.minor)
                || (!source.isEmpty() && source == QStringLiteral("/dev/") + s.name)) {
                for (BlockDevice& d : m_devices)
                    if (d.name == s.owner && !d.stackedMountPoints.contains(m.mountPoint))
                        d.stackedMountPoints << m.mountPoint;
            }
        }
    }
}

void DeviceTable::addStacked(const QString& owner, const QJsonArray& children)
{
    for (const QJsonValue& c : children) {
        const BlockDevice held = fromJson(c.toObject());
        m_stacked << Stacked{owner, held.name, held.major, held.minor};
        addStacked(owner, c.toObject().value(QLatin1String("children")).toArray());
    }
}

const BlockDevice* DeviceTable::device(const QString& name) const
{
    for (const BlockDevice& d : m_devices)
        if (d.name == name)
            return &d;
    return nullptr;
}

const BlockDevice* DeviceTable::wholeDiskOf(const BlockDevice& device) const
{
    return this->device(device.wholeDisk);
}

namespace {

// Each device read once, on a few threads: a read mostly waits for the
// device, and a list reads every one. The results keep the order asked.
QList<Probe> probeEach(const QStringList& names)
{
    QList<Probe> found(names.size());
    // A command's own device and its disk are read here: a thread costs more.
    const unsigned threads = names.size() > 2 ? std::min<unsigned>(kProbeThreads, unsigned(names.size())) : 1;
    if (threads <= 1) {
        for (qsizetype i = 0; i < names.size(); ++i)
            found[i] = Probe::read(QStringLiteral("/dev/") + names.at(i));
        return found;
    }
    Probe::prepareThreads();
    std::atomic<qsizetype> next{0};
    auto work = [&] {
        for (qsizetype i = next++; i < names.size(); i = next++)
            found[i] = Probe::read(QStringLiteral("/dev/") + names.at(i));
    };
    std::vector<std::thread> pool;
    pool.reserve(threads - 1);
    for (unsigned t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();
    return found;
}

}  // namespace

void DeviceTable::probe(const QStringList& names)
{
    QStringList wanted;
    for (BlockDevice& d : m_devices) {
        if (!d.probed && names.contains(d.name) && !wanted.contains(d.name)) {
            d.probed = true;
            wanted << d.name;
        }
    }
    const QList<Probe> found = probeEach(wanted);
    for (qsizetype i = 0; i < wanted.size(); ++i)
        setProbe(wanted.at(i), found.at(i));
    readLabels(wanted);
}

void DeviceTable::readLabels(const QStringList& names)
{
    for (BlockDevice& d : m_devices) {
        if (!names.contains(d.name))
            continue;
        const FileSystem* fs = fileSystemForProbe(d.probe.fsType, d.probe.fsVersion);
        const QString reader = fs && !fs->labelReader.isEmpty() ? findProgram(fs->labelReader) : QString();
        if (reader.isEmpty())
            continue;
        const platform::CommandResult r = platform::runCommand(reader, fs->labelReaderArgs + QStringList{d.node()}, 30000);
        if (r.ok()) {
            QByteArray label = r.output;
            if (label.endsWith('\n'))
                label.chop(1);
            d.probe.label = QString::fromUtf8(label);
            d.probe.hasLabel = true;
        }
    }
}

void DeviceTable::setProbe(const QString& name, const Probe& probe)
{
    for (BlockDevice& d : m_devices) {
        if (d.name == name) {
            d.probe = probe;
            d.probed = true;
        }
    }
}

void DeviceTable::probeAll()
{
    QStringList names;
    for (const BlockDevice& d : m_devices)
        names << d.name;
    probe(names);
}

const BlockDevice* DeviceTable::resolve(const QString& target, QString* error)
{
    auto fail = [error](const QString& why) -> const BlockDevice* {
        if (error)
            *error = why;
        return nullptr;
    };
    if (target.isEmpty())
        return fail(QStringLiteral("no disk or volume was named"));

    if (target.startsWith(QLatin1String("/dev/"))) {
        const QString node = canonicalDevice(target);
        if (!QFileInfo::exists(node))
            return fail(QStringLiteral("%1: no such device").arg(target));
        if (const BlockDevice* d = device(QFileInfo(node).fileName()))
            return d;
        return fail(QStringLiteral("%1 is not a disk or partition that diskutil manages").arg(target));
    }
    if (const BlockDevice* d = device(target))
        return d;
    if (target.startsWith('/')) {
        const QString path = QDir::cleanPath(target);
        for (const BlockDevice& d : m_devices)
            if (d.mountPoints.contains(path))
                return &d;
        return fail(QStringLiteral("no volume is mounted at %1").arg(target));
    }

    probeAll();
    QList<const BlockDevice*> matches;
    for (const BlockDevice& d : m_devices) {
        if ((!d.probe.uuid.isEmpty() && d.probe.uuid.compare(target, Qt::CaseInsensitive) == 0)
            || (!d.probe.partEntryUuid.isEmpty() && d.probe.partEntryUuid.compare(target, Qt::CaseInsensitive) == 0))
            matches << &d;
    }
    if (matches.isEmpty()) {
        for (const BlockDevice& d : m_devices)
            if (d.probe.hasLabel && d.probe.label == target)
                matches << &d;
    }
    if (matches.size() == 1)
        return matches.first();
    if (matches.isEmpty())
        return fail(QStringLiteral("no disk, partition or volume is named \"%1\"").arg(target));
    QStringList names;
    for (const BlockDevice* d : matches)
        names << d->name;
    return fail(QStringLiteral("\"%1\" is ambiguous: it names %2; give a device identifier instead")
                    .arg(target, names.join(QStringLiteral(", "))));
}

const QStringList& DeviceTable::systemMountPoints()
{
    static const QStringList points{QStringLiteral("/"),    QStringLiteral("/boot"), QStringLiteral("/boot/efi"),
                                    QStringLiteral("/usr"), QStringLiteral("/var"),  QStringLiteral("/home")};
    return points;
}

bool DeviceTable::isSystemDevice(const BlockDevice& device) const
{
    for (const QStringList* points : {&device.mountPoints, &device.stackedMountPoints})
        for (const QString& mp : *points)
            if (systemMountPoints().contains(mp))
                return true;
    if (m_swaps.contains(device.node()))
        return true;
    for (const Stacked& s : m_stacked)
        if (s.owner == device.name && m_swaps.contains(QStringLiteral("/dev/") + s.name))
            return true;
    return false;
}

bool DeviceTable::diskHoldsSystem(const BlockDevice& disk) const
{
    if (isSystemDevice(disk))
        return true;
    for (const QString& name : disk.partitions)
        if (const BlockDevice* part = device(name); part && isSystemDevice(*part))
            return true;
    return false;
}

}  // namespace diskutil
