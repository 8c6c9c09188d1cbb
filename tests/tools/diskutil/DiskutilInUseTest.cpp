// A volume in use in another mount namespace is not ejected, repaired or
// erased, and one mounted here too stays mounted where it was; the copies
// that unmounting here takes along do not count.
#include "Devices.h"
#include "FileSystems.h"
#include "InUse.h"
#include "ToolVolume.h"
#include "platform/MountTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using toolvolume::tool;
using toolvolume::runPastOtherTests;
using toolvolume::uniqueLabel;

namespace {

platform::CommandResult du(const QStringList& args) { return tool().run(args, 120000); }

QString str(const QVariantMap& m, const char* key) { return m.value(QLatin1String(key)).toString(); }

// Every command that takes a volume away from whoever uses it, on `name`.
QList<QStringList> takingCommands(const QString& name)
{
    return {{"eject", name}, {"repairvolume", name}, {"eraseVolume", "MS-DOS FAT32", "N", name}, {"reformat", name}};
}

// A file on the volume, written through a mount of our own that is gone again.
bool writeFile(LoopVolume& v, const QByteArray& text)
{
    if (!v.mount())
        return false;
    QFile f(v.mountPoint() + "/marker");
    const bool written = f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
    f.close();
    return v.unmount() && written;
}

const QByteArray kText = "still here";

// --- who uses a device, on a /proc tree made up for the purpose --------------

class FakeProc
{
public:
    FakeProc() { add("self", "mnt:[1]", "user:[1]", ""); }
    // A process of namespace `mnt` (owned by user namespace `user`) whose
    // mount table is `mountinfo`.
    void add(const QString& pid, const char* mnt, const char* user, const QByteArray& mountinfo)
    {
        const QString dir = m_root.path() + '/' + pid;
        QDir().mkpath(dir + "/ns");
        QDir().mkpath(dir + "/fd");
        QFile::link(QLatin1String(mnt), dir + "/ns/mnt");
        QFile::link(QLatin1String(user), dir + "/ns/user");
        setMounts(pid, mountinfo);
        QFile comm(dir + "/comm");
        if (comm.open(QIODevice::WriteOnly))
            comm.write("p" + pid.toUtf8() + '\n');
    }
    void setMounts(const QString& pid, const QByteArray& mountinfo)
    {
        QFile f(m_root.path() + '/' + pid + "/mountinfo");
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(mountinfo);
    }
    void open(const QString& pid, int fd, const QString& target)
    {
        QFile::link(target, QStringLiteral("%1/%2/fd/%3").arg(m_root.path(), pid).arg(fd));
    }
    QString root() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
};

diskutil::BlockDevice device(const QString& name, unsigned major, unsigned minor)
{
    diskutil::BlockDevice d;
    d.name = name;
    d.major = major;
    d.minor = minor;
    return d;
}

// Process numbers above the kernel's limit never meet this process's own.
const QByteArray kHere = "36 25 8:17 / /media/X rw,relatime shared:5 - ext4 /dev/sdz1 rw\n";

TEST(DiskutilInUse, OnlyMountsThatUnmountingHereLeavesBehindAreUses)
{
    using diskutil::OurMounts;
    const QList<diskutil::BlockDevice> sdz{device("sdz", 8, 16), device("sdz1", 8, 17)};
    FakeProc proc;
    proc.setMounts("self", kHere);
    // A slave copy, shared on to a slave of its own: our unmount reaches both.
    proc.add("9000001", "mnt:[2]", "user:[1]", "40 30 8:17 / /media/X rw master:5 shared:7 - ext4 /dev/sdz1 rw\n");
    proc.add("9000002", "mnt:[3]", "user:[1]", "41 31 8:17 / /media/X rw master:7 - ext4 /dev/sdz1 rw\n");
    // A peer, and a process of our own namespace, whose table is ours.
    proc.add("9000003", "mnt:[4]", "user:[1]", "42 32 8:17 / /media/X rw shared:5 - ext4 /dev/sdz1 rw\n");
    proc.add("9000004", "mnt:[1]", "user:[1]", kHere);
    EXPECT_EQ(diskutil::otherUsersOf(sdz, OurMounts::Ignore, proc.root()), "");
    // After the unmount, every mount left is a use, ours first.
    EXPECT_TRUE(diskutil::otherUsersOf(sdz, OurMounts::Count, proc.root())
                    .startsWith(QStringLiteral("sdz1 is mounted at /media/X in the mount namespace of process %1 ").arg(::getpid())));

    // A copy in a namespace of another user namespace is locked: it stays.
    proc.setMounts("9000002", "41 31 8:17 / /media/X rw master:7 - ext4 /dev/sdz1 rw\n");
    proc.add("9000005", "mnt:[5]", "user:[2]", "43 33 8:17 / /srv/x rw master:5 - ext4 /dev/sdz1 rw\n");
    EXPECT_EQ(diskutil::otherUsersOf(sdz, OurMounts::Ignore, proc.root()),
              "sdz1 is mounted at /srv/x in the mount namespace of process 9000005 (p9000005)");
    proc.setMounts("9000005", "");
    // So does a private one, and a FUSE mount named by its device.
    proc.add("9000006", "mnt:[6]", "user:[1]", "44 34 8:16 / /mnt/a\\040b rw - ext4 /dev/sdz rw\n");
    EXPECT_EQ(diskutil::otherUsersOf(sdz, OurMounts::Ignore, proc.root()),
              "it is mounted at /mnt/a b in the mount namespace of process 9000006 (p9000006)");
    proc.setMounts("9000006", "45 34 0:61 / /mnt/f rw - fuse /dev/sdz1 rw\n");
    EXPECT_EQ(diskutil::otherUsersOf(sdz, OurMounts::Ignore, proc.root()),
              "sdz1 is mounted at /mnt/f in the mount namespace of process 9000006 (p9000006)");
}

TEST(DiskutilInUse, AProgramHoldingTheDeviceIsAUseUnlessItServesAFuseMountHere)
{
    using diskutil::OurMounts;
    struct stat loop{}, fuse{};
    if (::stat("/dev/loop0", &loop) != 0 || !S_ISBLK(loop.st_mode) || ::stat("/dev/fuse", &fuse) != 0)
        GTEST_SKIP() << "no /dev/loop0 or /dev/fuse to point at";
    const QList<diskutil::BlockDevice> loop0{device("loop0", major(loop.st_rdev), minor(loop.st_rdev))};
    FakeProc proc;
    proc.add("9000001", "mnt:[1]", "user:[1]", "");
    proc.open("9000001", 3, "/dev/loop0");
    proc.open("9000001", 4, "/dev/fuse");
    EXPECT_EQ(diskutil::otherUsersOf(loop0, OurMounts::Ignore, proc.root()), "process 9000001 (p9000001) has it open");
    proc.setMounts("self", QStringLiteral("36 25 %1:%2 / /media/F rw - fuseblk /dev/loop0 rw\n")
                               .arg(major(loop.st_rdev)).arg(minor(loop.st_rdev)).toUtf8());
    EXPECT_EQ(diskutil::otherUsersOf(loop0, OurMounts::Ignore, proc.root()), "");
    EXPECT_NE(diskutil::otherUsersOf(loop0, OurMounts::Count, proc.root()), "");
    // Another program beside the driver still counts.
    proc.add("9000002", "mnt:[1]", "user:[1]", "");
    proc.open("9000002", 3, "/dev/loop0");
    EXPECT_EQ(diskutil::otherUsersOf(loop0, OurMounts::Ignore, proc.root()), "process 9000002 (p9000002) has it open");
    proc.setMounts("9000002", "");
    QFile::remove(proc.root() + "/9000002/fd/3");
    ASSERT_EQ(diskutil::otherUsersOf(loop0, OurMounts::Ignore, proc.root()), "");
    // So does a FUSE driver of another namespace, serving a mount of its own
    // that names no device, and a second driver here beside ours.
    for (const char* ns : {"mnt:[7]", "mnt:[1]"}) {
        SCOPED_TRACE(ns);
        proc.add("9000003", ns, "user:[1]", "");
        proc.open("9000003", 3, "/dev/loop0");
        proc.open("9000003", 4, "/dev/fuse");
        EXPECT_EQ(diskutil::otherUsersOf(loop0, OurMounts::Ignore, proc.root()), "process 9000003 (p9000003) has it open");
        QDir(proc.root() + "/9000003").removeRecursively();
    }
}

TEST(DiskutilInUse, AFolderIsAMountPointWhenAnyNamespaceMountsAtOrBelowIt)
{
    FakeProc proc;
    proc.setMounts("self", kHere);
    proc.add("9000001", "mnt:[2]", "user:[1]", "50 30 0:70 / /media/Y rw - tmpfs tmpfs rw\n");
    proc.add("9000002", "mnt:[3]", "user:[2]", "51 31 0:71 / /media/Z\\040z/deeper rw - tmpfs tmpfs rw\n");
    // A process of a namespace already read is not read again.
    proc.add("9000003", "mnt:[1]", "user:[1]", "52 32 0:72 / /media/W rw - tmpfs tmpfs rw\n");
    EXPECT_TRUE(diskutil::mountedAtOrBelowAnywhere("/media/X", proc.root()));
    EXPECT_TRUE(diskutil::mountedAtOrBelowAnywhere("/media/Y", proc.root()));
    EXPECT_TRUE(diskutil::mountedAtOrBelowAnywhere("/media/Z z", proc.root()));
    EXPECT_FALSE(diskutil::mountedAtOrBelowAnywhere("/media/Z z/deep", proc.root()));
    EXPECT_FALSE(diskutil::mountedAtOrBelowAnywhere("/media/X 1", proc.root()));
    EXPECT_FALSE(diskutil::mountedAtOrBelowAnywhere("/media/W", proc.root()));
}

// --- on real loop volumes -----------------------------------------------------

TEST(DiskutilInUse, AVolumeMountedOnlyInAnotherNamespaceIsNeitherEjectedRepairedNorErased)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    // ext4 through the kernel, FAT through its FUSE driver when the kernel has none.
    for (const char* type : {"ext4", "vfat"}) {
        SCOPED_TRACE(type);
        ToolVolume v(type, 64, uniqueLabel());
        ASSERT_TRUE(v.ok()) << v.error().toStdString();
        ASSERT_TRUE(writeFile(v, kText)) << v.error().toStdString();
        MountNamespace other(v.device());
        ASSERT_TRUE(other.ok()) << other.error().toStdString();
        ASSERT_EQ(other.read(other.mountPoint() + "/marker"), kText);

        for (const QStringList& args : takingCommands(v.kernelName())) {
            SCOPED_TRACE(args.join(' ').toStdString());
            const platform::CommandResult r = du(args);
            EXPECT_NE(r.exitCode, 0);
            // The holder is named: the namespace's mount, or the FUSE driver that serves it.
            EXPECT_TRUE(r.errors.startsWith((v.kernelName() + " is in use: ").toUtf8())) << r.errors.toStdString();
            EXPECT_TRUE(r.errors.contains(QStringLiteral("process %1 (sleep)").arg(other.pid()).toUtf8())
                        || r.errors.contains("(fusefat) has it open"))
                << r.errors.toStdString();
            EXPECT_EQ(other.read(other.mountPoint() + "/marker"), kText);
        }
        EXPECT_EQ(diskutil::loopBackingFile(v.kernelName()), v.image()) << "ejected under a live mount";
    }
}

TEST(DiskutilInUse, AVolumeMountedHereAndElsewhereIsRefusedAndStaysMountedHere)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    for (const char* type : {"ext4", "vfat"}) {
        SCOPED_TRACE(type);
        const QString label = uniqueLabel();
        ToolVolume v(type, 64, label);
        ASSERT_TRUE(v.ok()) << v.error().toStdString();
        ASSERT_TRUE(writeFile(v, kText));
        ASSERT_EQ(du({"mount", v.kernelName()}).exitCode, 0);
        const QString here = "/media/" + label;
        // A namespace made now keeps a private copy of the mount.
        MountNamespace other(v.device());
        ASSERT_TRUE(other.ok()) << other.error().toStdString();
        ASSERT_EQ(other.read(here + "/marker"), kText);

        const QList<QStringList> commands = takingCommands(v.kernelName()) + QList<QStringList>{{"rename", v.kernelName(), "OTHER"}};
        for (const QStringList& args : commands) {
            SCOPED_TRACE(args.join(' ').toStdString());
            const platform::CommandResult r = du(args);
            EXPECT_NE(r.exitCode, 0);
            EXPECT_TRUE(r.errors.contains(QStringLiteral("it is mounted at %1 in the mount namespace of process %2")
                                              .arg(here)
                                              .arg(other.pid())
                                              .toUtf8()))
                << r.errors.toStdString();
            const QVariantMap info = v.info();
            EXPECT_EQ(str(info, "MountPoint"), here) << "not left mounted where it was";
            EXPECT_EQ(str(info, "VolumeName"), label);
            EXPECT_EQ(other.read(here + "/marker"), kText);
        }
        QFile mine(here + "/marker");
        ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
        EXPECT_EQ(mine.readAll(), kText);
    }
}

// An image holding one partition, attached with its partitions scanned.
class PartitionedDisk
{
public:
    PartitionedDisk()
    {
        QFile f(m_dir.filePath("disk.img"));
        if (!f.open(QIODevice::WriteOnly) || !f.resize(qint64(64) << 20))
            return;
        // An MBR with one Linux partition from sector 2048 to the end.
        QByteArray mbr(512, '\0');
        auto put32 = [&mbr](int at, quint32 v) {
            for (int i = 0; i < 4; ++i)
                mbr[at + i] = char((v >> (8 * i)) & 0xff);
        };
        mbr[446 + 4] = char(0x83);
        put32(446 + 8, 2048);
        put32(446 + 12, (64u << 11) - 2048);
        mbr[510] = char(0x55);
        mbr[511] = char(0xaa);
        f.write(mbr);
        f.close();
        QByteArray out;
        if (LoopVolume::run("losetup", {"-P", "--find", "--show", f.fileName()}, &out) != 0)
            return;
        m_disk = QString::fromLocal8Bit(out).trimmed();
        LoopVolume::run("udevadm", {"settle", "--timeout=5"});
        LoopVolume::addPartitions(m_disk);
        m_partitioned = QFileInfo::exists(partition()) && LoopVolume::run("mkfs.ext4", {"-q", "-F", partition()}) == 0;
    }
    ~PartitionedDisk()
    {
        if (!m_disk.isEmpty()) {
            toolvolume::releaseMounts(partition());
            LoopVolume::run("losetup", {"-d", m_disk});
        }
    }
    bool ok() const { return !m_disk.isEmpty(); }
    // Some kernels read no partition tables at all.
    bool partitioned() const { return m_partitioned; }
    QString disk() const { return m_disk; }
    QString partition() const { return m_disk + "p1"; }
    void forget() { m_disk.clear(); }

private:
    QTemporaryDir m_dir;
    QString m_disk;
    bool m_partitioned = false;
};

TEST(DiskutilInUse, ADiskWhosePartitionIsMountedElsewhereIsNotEjected)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    PartitionedDisk disk;
    ASSERT_TRUE(disk.ok()) << "no loop disk could be made";
    if (!disk.partitioned())
        GTEST_SKIP() << "this kernel reads no partition table of " << disk.disk().toStdString();
    MountNamespace other(disk.partition());
    ASSERT_TRUE(other.ok()) << other.error().toStdString();
    const QString name = QFileInfo(disk.disk()).fileName();
    const platform::CommandResult r = du({"eject", name});
    if (r.exitCode == 0)
        disk.forget();
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.errors.trimmed(), QStringLiteral("%1 is in use: %1p1 is mounted at %2 in the mount namespace of process "
                                                 "%3 (sleep). It was not ejected.")
                                      .arg(name, other.mountPoint())
                                      .arg(other.pid())
                                      .toUtf8());
    EXPECT_TRUE(other.isMountPoint(other.mountPoint()));
}

// A folder on a tmpfs of its own whose mounts propagate, as / does on a
// desktop system: the mounts below it are copied into namespaces made later
// as peers or slaves, and unmounting here takes those copies along.
class SharedFolder
{
public:
    SharedFolder()
    {
        if (LoopVolume::run("mount", {"-t", "tmpfs", "tmpfs", m_dir.path()}) != 0)
            return;
        m_mounted = true;
        m_ok = LoopVolume::run("mount", {"--make-shared", m_dir.path()}) == 0;
    }
    ~SharedFolder()
    {
        if (m_mounted && LoopVolume::run("umount", {"-R", m_dir.path()}) != 0)
            LoopVolume::run("umount", {"-R", "-l", m_dir.path()});
    }
    bool ok() const { return m_ok; }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    bool m_ok = false;
};

TEST(DiskutilInUse, CopiesThatUnmountingHereTakesAlongDoNotStopAnEject)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    for (const char* propagation : {"slave", "unchanged"}) {
        SCOPED_TRACE(propagation);
        SharedFolder shared;
        ASSERT_TRUE(shared.ok());
        auto v = std::make_unique<ToolVolume>("ext4", 64, uniqueLabel());
        ASSERT_TRUE(v->ok());
        const QString at = shared.path() + "/vol";
        ASSERT_TRUE(QDir().mkpath(at));
        ASSERT_EQ(LoopVolume::run("mount", {v->device(), at}), 0);
        MountNamespace other(v->device(), propagation);
        ASSERT_TRUE(other.ok()) << other.error().toStdString();
        ASSERT_TRUE(other.isMountPoint(at));

        const platform::CommandResult r = runPastOtherTests({"eject", v->kernelName()}, other.pid());
        EXPECT_EQ(r.exitCode, 0) << r.errors.toStdString();
        if (r.exitCode == 0)
            v->forget();
        EXPECT_FALSE(other.isMountPoint(at)) << "the copy outlived the eject";
    }
}

// --- another namespace's mount at our folder ----------------------------------

int inNamespace(const MountNamespace& ns, const QStringList& args)
{
    return LoopVolume::run("nsenter", QStringList{"-t", QString::number(ns.pid()), "-m", "--"} + args);
}

// A mount made in a namespace for the length of a test, taken off at its end
// (a FUSE driver would otherwise keep the namespace alive).
class MountIn
{
public:
    MountIn(const MountNamespace& ns, const QString& at, const QStringList& mount) : m_ns(ns), m_at(at)
    {
        m_ok = inNamespace(ns, mount) == 0 && ns.isMountPoint(at);
    }
    ~MountIn()
    {
        if (inNamespace(m_ns, {"umount", m_at}) != 0)
            inNamespace(m_ns, {"umount", "-l", m_at});
    }
    bool ok() const { return m_ok; }

private:
    const MountNamespace& m_ns;
    QString m_at;
    bool m_ok = false;
};

unsigned mountIdAt(const QString& path)
{
    for (const platform::MountEntry& m : platform::readMountTable())
        if (m.mountPoint == path)
            return m.id;
    return 0;
}

TEST(DiskutilInUse, AnotherNamespacesMountAtOurFolderIsNeitherTornDownNorReused)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    MountNamespace other;
    ASSERT_TRUE(other.ok()) << other.error().toStdString();
    for (const QString command : {"unmount", "eject", "eraseVolume"}) {
        SCOPED_TRACE(command.toStdString());
        const QString label = uniqueLabel();
        const QString folder = "/media/" + label;
        auto v = std::make_unique<ToolVolume>("ext4", 64, label);
        ASSERT_TRUE(v->ok()) << v->error().toStdString();
        ASSERT_EQ(du({"mount", v->kernelName()}).exitCode, 0);
        ASSERT_EQ(str(v->info(), "MountPoint"), folder);
        {
            // Their own tmpfs at the folder our volume is mounted at here.
            MountIn theirs(other, folder, {"mount", "-t", "tmpfs", "tmpfs", folder});
            ASSERT_TRUE(theirs.ok());
            ASSERT_EQ(inNamespace(other, {"sh", "-c", "echo theirs > \"$1\"/file", "sh", folder}), 0);

            const QStringList args = command == "eraseVolume" ? QStringList{command, "ext4", uniqueLabel(), v->kernelName()}
                                                               : QStringList{command, v->kernelName()};
            const platform::CommandResult r = runPastOtherTests(args, other.pid());
            EXPECT_EQ(r.exitCode, 0) << r.errors.toStdString();
            if (command == "eject" && r.exitCode == 0)
                v->forget();
            EXPECT_TRUE(other.isMountPoint(folder)) << "their mount was detached";
            EXPECT_EQ(other.read(folder + "/file"), "theirs\n");
            if (command == "unmount") {
                // Nor is the folder taken for the next mount of ours.
                ASSERT_EQ(du({"mount", v->kernelName()}).exitCode, 0);
                EXPECT_EQ(str(v->info(), "MountPoint"), folder + " 1");
            }
        }
        v.reset();
        QDir().rmdir(folder);
    }
}

// --- loop devices on the chosen device ---------------------------------------

// A loop device of a test's own over the second half of `target` (a device
// or an image), with an ext4 volume mounted and a file on it.
class LoopOver
{
public:
    explicit LoopOver(const QString& target)
    {
        QByteArray out;
        if (LoopVolume::run("losetup", {"--offset", QString::number(40 << 20), "--find", "--show", target}, &out) != 0)
            return;
        m_device = QString::fromLocal8Bit(out).trimmed();
        if (LoopVolume::run("mkfs.ext4", {"-q", "-F", m_device}) != 0
            || LoopVolume::run("mount", {m_device, m_dir.path()}) != 0)
            return;
        m_mounted = true;
        QFile f(m_dir.filePath("file"));
        m_ok = f.open(QIODevice::WriteOnly) && f.write(kText) == kText.size();
    }
    ~LoopOver()
    {
        if (m_mounted && LoopVolume::run("umount", {m_dir.path()}) != 0)
            LoopVolume::run("umount", {"-l", m_dir.path()});
        if (!m_device.isEmpty())
            LoopVolume::run("losetup", {"-d", m_device});
    }
    bool ok() const { return m_ok; }
    QString name() const { return QFileInfo(m_device).fileName(); }
    QByteArray file() const
    {
        QFile f(m_dir.filePath("file"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QString m_device;
    bool m_mounted = false;
    bool m_ok = false;
};

TEST(DiskutilInUse, ALoopDeviceOnTheDeviceOrOnItsImageIsAUseFoundBeforeAnyUnmount)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    enum Case { OnIt, OnItsImage, OnItsRemovedImage };
    for (const Case c : {OnIt, OnItsImage, OnItsRemovedImage}) {
        SCOPED_TRACE(c == OnIt ? "a loop device on it" : c == OnItsImage ? "a second loop device on its image"
                                                                          : "the same, the image's name removed");
        const bool onImage = c != OnIt;
        const QString label = uniqueLabel();
        ToolVolume v("", 64, label);
        ASSERT_TRUE(v.ok()) << v.error().toStdString();
        // Its own volume in the first half; the other loop device's in the second.
        ASSERT_EQ(LoopVolume::run("mkfs.ext4", {"-q", "-F", "-L", label, v.device(), "32M"}), 0);
        ASSERT_EQ(du({"mount", v.kernelName()}).exitCode, 0);
        const QString here = "/media/" + label;
        {
            QFile mine(here + "/file");
            ASSERT_TRUE(mine.open(QIODevice::WriteOnly) && mine.write(kText) == kText.size());
        }
        const unsigned mountId = mountIdAt(here);
        LoopOver over(onImage ? v.image() : v.device());
        ASSERT_TRUE(over.ok());
        // Its path then leads nowhere: the loop devices still name the file.
        if (c == OnItsRemovedImage) {
            ASSERT_TRUE(QFile::remove(v.image()));
        }

        for (const QStringList& args : QList<QStringList>{{"eraseVolume", "ext4", "N", v.kernelName()},
                                                          {"repairvolume", v.kernelName()},
                                                          {"eject", v.kernelName()}}) {
            SCOPED_TRACE(args.join(' ').toStdString());
            const platform::CommandResult r = du(args);
            EXPECT_NE(r.exitCode, 0);
            EXPECT_TRUE(r.errors.startsWith(
                QStringLiteral("%1 is in use: the loop device %2 is attached to ").arg(v.kernelName(), over.name()).toUtf8()))
                << r.errors.toStdString();
            EXPECT_EQ(mountIdAt(here), mountId) << "unmounted before the refusal";
            EXPECT_EQ(over.file(), kText);
            QFile mine(here + "/file");
            EXPECT_TRUE(mine.open(QIODevice::ReadOnly));
            EXPECT_EQ(mine.readAll(), kText);
        }
        EXPECT_TRUE(diskutil::loopBackingFile(v.kernelName()).startsWith(v.image())) << "ejected";
    }
}

// --- a FUSE driver of its own in another namespace ----------------------------

TEST(DiskutilInUse, AFuseDriverOfAnotherNamespaceIsAUseFoundBeforeAnyUnmount)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    if (diskutil::findProgram("fusefat").isEmpty())
        GTEST_SKIP() << "fusefat is not installed";
    const QString label = uniqueLabel();
    ToolVolume v("vfat", 64, label);
    ASSERT_TRUE(v.ok()) << v.error().toStdString();
    ASSERT_TRUE(writeFile(v, kText));
    ASSERT_EQ(du({"mount", v.kernelName()}).exitCode, 0);
    const QString here = "/media/" + label;
    const unsigned mountId = mountIdAt(here);
    ASSERT_NE(mountId, 0u);
    // A plain fusefat there: its mount names the driver, not the device.
    MountNamespace other;
    ASSERT_TRUE(other.ok()) << other.error().toStdString();
    QTemporaryDir at;
    MountIn theirs(other, at.path(), {"fusefat", "-o", "rw+", v.device(), at.path()});
    ASSERT_TRUE(theirs.ok());
    ASSERT_EQ(other.read(at.path() + "/marker"), kText);

    for (const QStringList& args : takingCommands(v.kernelName())) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const platform::CommandResult r = du(args);
        EXPECT_NE(r.exitCode, 0);
        // Named: their driver, or (when a namespace another test made meanwhile
        // holds a copy of our mount) that copy; either way found first.
        EXPECT_TRUE(r.errors.startsWith((v.kernelName() + " is in use: ").toUtf8())) << r.errors.toStdString();
        EXPECT_TRUE(r.errors.contains("(fusefat) has it open") || r.errors.contains("it is mounted at " + here.toUtf8()))
            << r.errors.toStdString();
        EXPECT_EQ(mountIdAt(here), mountId) << "unmounted before the refusal";
        EXPECT_EQ(other.read(at.path() + "/marker"), kText);
    }
    // Unmounting here is what unmount asks: done, and the other use named.
    const platform::CommandResult r = du({"unmount", v.kernelName()});
    EXPECT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_TRUE(r.output.contains("unmounted here; it stays in use elsewhere: ")) << r.output.toStdString();
    EXPECT_EQ(mountIdAt(here), 0u);
    EXPECT_EQ(other.read(at.path() + "/marker"), kText);
}

}  // namespace
