#include "InUse.h"

#include "platform/MountTable.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <optional>

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace diskutil {

namespace {

QString processName(const QString& procRoot, const QString& pid)
{
    QFile f(procRoot + '/' + pid + QStringLiteral("/comm"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

// The text of a namespace link ("mnt:[4026531832]"): the same text is the
// same namespace. readlink, since a resolved path would differ per process.
QString namespaceOf(const QString& procRoot, const QString& pid, const char* kind)
{
    const QByteArray link = QFile::encodeName(QStringLiteral("%1/%2/ns/%3").arg(procRoot, pid, QLatin1String(kind)));
    char target[128];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target);
    return n > 0 ? QString::fromLatin1(target, int(n)) : QString();
}

QByteArray readProcFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();  // proc files have no size
}

// One mount of one of the devices.
struct DeviceMount
{
    platform::MountEntry entry;
    int device = 0;  // index into the devices asked about
    QString pid;     // a process of the namespace it was seen in
    bool sameUserNamespace = true;
};

QList<DeviceMount> mountsOf(const QByteArray& mountinfo, const QList<BlockDevice>& devices)
{
    QList<DeviceMount> found;
    for (const platform::MountEntry& m : platform::parseMountTable(mountinfo)) {
        const QString source = canonicalDevice(m.source);
        for (int i = 0; i < devices.size(); ++i) {
            const BlockDevice& d = devices.at(i);
            // Kernel mounts carry the device's numbers; FUSE drivers name the
            // device as their source instead.
            if ((m.major != 0 && m.major == d.major && m.minor == d.minor) || (!source.isEmpty() && source == d.node())) {
                found.append({m, i, {}, true});
                break;
            }
        }
    }
    return found;
}

bool isFuse(const platform::MountEntry& m) { return m.fsType.startsWith(QLatin1String("fuse")); }

}  // namespace

QString otherUsersOf(const QList<BlockDevice>& devices, OurMounts ours, const QString& procRoot)
{
    if (devices.isEmpty())
        return {};
    auto named = [&devices](int i) { return i == 0 ? QStringLiteral("it") : devices.at(i).name; };
    const QString self = QString::number(::getpid());
    const QString ownNamespace = namespaceOf(procRoot, QStringLiteral("self"), "mnt");
    const QString ownUsers = namespaceOf(procRoot, QStringLiteral("self"), "user");

    // The peer groups our unmounts reach, starting with those of our own mounts.
    QSet<unsigned> reached;
    bool fuseHere = false;
    // A FUSE mount here is served by a driver of this namespace, one each.
    int fuseMountsHere = 0;
    // Our own mounts by their numbers, which no copy shares: a process whose
    // namespace link cannot be read may still be of ours.
    QSet<unsigned> ourMountIds;
    QList<DeviceMount> elsewhere;
    for (DeviceMount m : mountsOf(readProcFile(procRoot + QStringLiteral("/self/mountinfo")), devices)) {
        if (ours == OurMounts::Count) {
            m.pid = self;
            elsewhere.append(m);
            continue;
        }
        ourMountIds.insert(m.entry.id);
        if (m.entry.peerGroup != 0)
            reached.insert(m.entry.peerGroup);
        if (isFuse(m.entry)) {
            fuseHere = true;
            ++fuseMountsHere;
        }
    }
    QSet<QString> namespacesSeen{ownNamespace};
    struct stat fuseDevice{};
    const bool haveFuse = ::stat("/dev/fuse", &fuseDevice) == 0 && S_ISCHR(fuseDevice.st_mode);

    QString openedBy;
    int driversOfOurs = 0;
    const QStringList pids = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        bool isPid = false;
        pid.toUInt(&isPid);
        if (!isPid || pid == self)
            continue;
        // Mounts, once per mount namespace.
        const QString ns = namespaceOf(procRoot, pid, "mnt");
        if (ns.isEmpty() || !namespacesSeen.contains(ns)) {
            namespacesSeen.insert(ns);
            // Unknown counts as another: its copies would stay.
            const bool sameUsers = !ownUsers.isEmpty() && namespaceOf(procRoot, pid, "user") == ownUsers;
            for (DeviceMount m : mountsOf(readProcFile(procRoot + '/' + pid + QStringLiteral("/mountinfo")), devices)) {
                if (ourMountIds.contains(m.entry.id))
                    continue;
                m.pid = pid;
                m.sameUserNamespace = sameUsers;
                elsewhere.append(m);
            }
        }
        // Open descriptors.
        if (!openedBy.isEmpty())
            continue;
        const QString fdDir = procRoot + '/' + pid + QStringLiteral("/fd");
        int held = -1;
        bool holdsFuse = false;
        for (const QString& fd : QDir(fdDir).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
            struct stat st{};
            if (::stat(QFile::encodeName(fdDir + '/' + fd).constData(), &st) != 0)
                continue;
            if (haveFuse && S_ISCHR(st.st_mode) && st.st_rdev == fuseDevice.st_rdev)
                holdsFuse = true;
            if (!S_ISBLK(st.st_mode) || held >= 0)
                continue;
            for (int i = 0; i < devices.size(); ++i)
                if (st.st_rdev == makedev(devices.at(i).major, devices.at(i).minor))
                    held = i;
        }
        // The driver of a FUSE mount here lets go when it is unmounted; one
        // in another namespace (or one more than our mounts have) serves a
        // mount of its own, which our unmount does not end.
        if (held >= 0 && fuseHere && holdsFuse && ns == ownNamespace && driversOfOurs < fuseMountsHere) {
            ++driversOfOurs;
            continue;
        }
        if (held >= 0)
            openedBy = QStringLiteral("process %1 (%2) has %3 open").arg(pid, processName(procRoot, pid), named(held));
    }

    // Copies of copies: a slave that is shared passes our unmount on to its own peers and slaves.
    for (bool grew = true; grew;) {
        grew = false;
        for (const DeviceMount& m : std::as_const(elsewhere)) {
            if (m.sameUserNamespace && m.entry.peerGroup != 0 && reached.contains(m.entry.masterGroup)
                && !reached.contains(m.entry.peerGroup)) {
                reached.insert(m.entry.peerGroup);
                grew = true;
            }
        }
    }
    for (const DeviceMount& m : std::as_const(elsewhere)) {
        const bool goesWithOurs = ours == OurMounts::Ignore && m.sameUserNamespace
            && (reached.contains(m.entry.peerGroup) || reached.contains(m.entry.masterGroup));
        if (!goesWithOurs)
            return QStringLiteral("%1 is mounted at %2 in the mount namespace of process %3 (%4)")
                .arg(named(m.device), m.entry.mountPoint, m.pid, processName(procRoot, m.pid));
    }
    return openedBy;
}

bool mountedAtOrBelowAnywhere(const QString& path, const QString& procRoot)
{
    const QString below = path.endsWith('/') ? path : path + '/';
    auto lists = [&](const QByteArray& mountinfo) {
        for (const platform::MountEntry& m : platform::parseMountTable(mountinfo))
            if (m.mountPoint == path || m.mountPoint.startsWith(below))
                return true;
        return false;
    };
    if (lists(readProcFile(procRoot + QStringLiteral("/self/mountinfo"))))
        return true;
    QSet<QString> namespacesSeen{namespaceOf(procRoot, QStringLiteral("self"), "mnt")};
    for (const QString& pid : QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        pid.toUInt(&isPid);
        if (!isPid)
            continue;
        const QString ns = namespaceOf(procRoot, pid, "mnt");
        if (!ns.isEmpty() && namespacesSeen.contains(ns))
            continue;
        namespacesSeen.insert(ns);
        if (lists(readProcFile(procRoot + '/' + pid + QStringLiteral("/mountinfo"))))
            return true;
    }
    return false;
}

namespace {

// The file a loop device is attached to, by its device and inode: from the
// path sysfs shows, or, where that path leads nowhere here (an image removed
// after attaching, a path of another namespace), from the loop device itself
// as `losetup --list` reads it. Nothing for a detached device.
std::optional<QPair<dev_t, ino_t>> loopBacking(const QString& sysBlock, const QString& loop, bool* isNode)
{
    QFile f(QStringLiteral("%1/%2/loop/backing_file").arg(sysBlock, loop));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray path = f.readAll();
    if (path.endsWith('\n'))
        path.chop(1);
    if (path.isEmpty())
        return std::nullopt;
    struct stat st{};
    if (::stat(path.constData(), &st) == 0) {
        *isNode = S_ISBLK(st.st_mode);
        return *isNode ? qMakePair(st.st_rdev, ino_t(0)) : qMakePair(st.st_dev, st.st_ino);
    }
    // Opened only here: an open loop device's detach waits for the close.
    const int fd = ::open(QFile::encodeName(QStringLiteral("/dev/") + loop).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    loop_info64 info{};
    const bool read = ::ioctl(fd, LOOP_GET_STATUS64, &info) == 0;
    ::close(fd);
    if (!read)
        return std::nullopt;
    *isNode = false;
    return qMakePair(dev_t(info.lo_device), ino_t(info.lo_inode));
}

}  // namespace

QString loopDevicesOn(const QList<BlockDevice>& devices, const QString& sysBlock)
{
    if (devices.isEmpty())
        return {};
    // What a loop device attached to one of them would have open: the
    // device node (by its numbers, or, as the loop device itself records
    // it, by the node's own inode), or the same image file.
    struct Target
    {
        QString name;
        dev_t rdev = 0;
        QPair<dev_t, ino_t> node{0, 0};
        QPair<dev_t, ino_t> image{0, 0};
    };
    QList<Target> targets;
    auto add = [&targets](const QString& name, dev_t rdev) {
        Target t{name, rdev};
        struct stat st{};
        if (::stat(QFile::encodeName(QStringLiteral("/dev/") + name).constData(), &st) == 0 && S_ISBLK(st.st_mode)
            && st.st_rdev == rdev)
            t.node = qMakePair(st.st_dev, st.st_ino);
        targets << t;
    };
    for (const BlockDevice& d : devices) {
        add(d.name, makedev(d.major, d.minor));
        bool isNode = false;
        if (d.isLoop() && d.isWholeDisk())
            if (const auto image = loopBacking(sysBlock, d.name, &isNode); image && !isNode)
                targets.last().image = *image;
    }
    // A loop device over the whole disk reads the partition chosen too.
    const BlockDevice& first = devices.first();
    if (!first.isWholeDisk() && !first.wholeDisk.isEmpty() && !first.wholeDisk.contains('/')) {
        QFile dev(QStringLiteral("/sys/class/block/%1/dev").arg(first.wholeDisk));
        const QList<QByteArray> numbers = dev.open(QIODevice::ReadOnly) ? dev.readAll().trimmed().split(':') : QList<QByteArray>{};
        if (numbers.size() == 2)
            add(first.wholeDisk, makedev(numbers[0].toUInt(), numbers[1].toUInt()));
    }
    auto named = [&](int i) { return i == 0 ? QStringLiteral("it") : targets.at(i).name; };
    const QStringList loops = QDir(sysBlock).entryList({QStringLiteral("loop*")}, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& loop : loops) {
        if (std::any_of(targets.begin(), targets.end(), [&loop](const Target& t) { return t.name == loop; }))
            continue;
        bool isNode = false;
        const auto backing = loopBacking(sysBlock, loop, &isNode);
        if (!backing)
            continue;
        for (int i = 0; i < targets.size(); ++i) {
            const Target& t = targets.at(i);
            const bool onNode = isNode ? backing->first == t.rdev : (t.node.second != 0 && *backing == t.node);
            if (onNode)
                return QStringLiteral("the loop device %1 is attached to %2").arg(loop, named(i));
            if (!isNode && t.image.second != 0 && *backing == t.image)
                return QStringLiteral("the loop device %1 is attached to the image of %2").arg(loop, named(i));
        }
    }
    return {};
}

QString otherUsersAfterProbes(const QList<BlockDevice>& devices, OurMounts ours)
{
    QString who = otherUsersOf(devices, ours);
    for (int tries = 0; !who.isEmpty() && who.startsWith(QLatin1String("process")) && tries < 10; ++tries) {
        QThread::msleep(200);
        who = otherUsersOf(devices, ours);
    }
    return who;
}

QStringList holdersOf(const QString& kernelName)
{
    if (kernelName.isEmpty() || kernelName.contains('/'))
        return {};
    return QDir(QStringLiteral("/sys/class/block/%1/holders").arg(kernelName))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
}

QString usersBeyondOurMounts(const QList<BlockDevice>& devices)
{
    for (int i = 0; i < devices.size(); ++i) {
        const QStringList held = holdersOf(devices.at(i).name);
        if (!held.isEmpty())
            return QStringLiteral("%1 %2 stacked on %3")
                .arg(held.join(QStringLiteral(", ")), held.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"),
                     i == 0 ? QStringLiteral("it") : devices.at(i).name);
    }
    if (const QString loops = loopDevicesOn(devices); !loops.isEmpty())
        return loops;
    return otherUsersAfterProbes(devices, OurMounts::Ignore);
}

}  // namespace diskutil
