// The ways a wipe must end as a failure (or a cancel) and touch nothing it
// was not given: a read-only mount, a planted link, a system volume, a
// second "NEW", a cancel mid-fill; and a stale fill folder is cleared.
#include "WipeProof.h"

#include "FakeTool.h"
#include "SetEraserLevel/DoDataBase.h"
#include "TempTree.h"
#include "WipeDisk/FreeSpaceFill.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace wipeproof;

namespace {

QString label(const char* prefix)
{
    return QString::fromLatin1(prefix) + QString::number(::getpid() % 100000);
}

FillResult fillFreeSpace(const LoopVolume& vol, std::function<void(WipeRun&)> onFirstChunk = {})
{
    WipeRun run(volumeFor(vol.device()), WipeRun::FreeSpace, 1);
    run.setDiskTool(diskTool());
    if (onFirstChunk) {
        bool once = false;
        QObject::connect(&run, &WipeRun::progressed, [&](float, int, int) {
            if (!once) {
                once = true;
                onFirstChunk(run);
            }
        });
    }
    run.start();
    EXPECT_TRUE(runToEnd(run));
    return run.result();
}

TEST(WipeFailure, CancelAfterTheFirstChunkLeavesNoFillFolder)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 512, label("TVC"));
    ASSERT_TRUE(vol.ok() && vol.mount()) << vol.error().toStdString();
    const FillResult r = fillFreeSpace(vol, [](WipeRun& run) { run.cancel(); });
    EXPECT_EQ(r.outcome, FillResult::Outcome::Cancelled);
    EXPECT_EQ(r.reason, FreeSpaceFill::kCancelledText);
    EXPECT_FALSE(QFileInfo::exists(vol.mountPoint() + "/.DWHS"));
}

TEST(WipeFailure, ReadOnlyVolumeFailsWithTheReadOnlyText)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 64, label("TVR"));
    ASSERT_TRUE(vol.ok() && vol.mount()) << vol.error().toStdString();
    ASSERT_EQ(LoopVolume::run("mount", {"-o", "remount,ro", vol.mountPoint()}), 0);
    const FillResult r = fillFreeSpace(vol);
    EXPECT_EQ(r.outcome, FillResult::Outcome::Failed);
    EXPECT_EQ(r.reason, FreeSpaceFill::kReadOnlyText);
    EXPECT_EQ(r.written, 0);
}

TEST(WipeFailure, PlantedLinkIsRemovedAsItselfAndItsTargetIsUntouched)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 64, label("TVL"));
    ASSERT_TRUE(vol.ok() && vol.mount()) << vol.error().toStdString();
    TempTree outside;
    QDir().mkpath(outside / "target");
    QFile keep(outside / "target/keep.txt");
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("mine");
    keep.close();
    ASSERT_EQ(::symlink(QFile::encodeName(outside / "target").constData(),
                        QFile::encodeName(vol.mountPoint() + "/.DWHS").constData()),
              0);

    const FillResult r = fillFreeSpace(vol);
    EXPECT_EQ(r.outcome, FillResult::Outcome::Failed);
    EXPECT_FALSE(r.reason.isEmpty());
    EXPECT_FALSE(QFileInfo(vol.mountPoint() + "/.DWHS").isSymLink());
    EXPECT_EQ(QDir(outside / "target").entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"keep.txt"});
    QFile again(outside / "target/keep.txt");
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), "mine");
}

TEST(WipeFailure, StaleFillFolderOfAKilledRunIsRemovedAndItsDataOverwritten)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 128, label("TVK"));
    ASSERT_TRUE(vol.ok() && disableDiscard(vol.device()) && vol.mount()) << vol.error().toStdString();
    ASSERT_TRUE(QDir().mkpath(vol.mountPoint() + "/.DWHS"));
    ASSERT_TRUE(writeMarkerFile(vol.mountPoint() + "/.DWHS/.DWHS_1", 8 << 20));
    const FillResult r = fillFreeSpace(vol);
    EXPECT_EQ(r.outcome, FillResult::Outcome::Success) << r.reason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(vol.mountPoint() + "/.DWHS"));
    vol.unmount();
    EXPECT_EQ(countInImage(vol.image(), marker()), 0);
}

// Another volume mounted by the test at `target`, unmounted by it whatever happens.
struct MountedAt
{
    QString target;
    bool ok = false;
    MountedAt(const QString& device, const QString& where) : target(where)
    {
        ok = LoopVolume::run("mount", {device, target}) == 0;
    }
    ~MountedAt()
    {
        if (ok && LoopVolume::run("umount", {target}) != 0)
            LoopVolume::run("umount", {"-l", target});
    }
};

TEST(WipeFailure, AVolumeMountedAtTheFillFolderIsNeitherEmptiedNorFilled)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 64, label("TVF"));
    ASSERT_TRUE(vol.ok() && vol.mount()) << vol.error().toStdString();
    LoopVolume other("ext4", 16, label("TVO"));
    ASSERT_TRUE(other.ok()) << other.error().toStdString();
    const QString dwhs = vol.mountPoint() + "/.DWHS";
    ASSERT_TRUE(QDir().mkpath(dwhs));
    MountedAt mounted(other.device(), dwhs);  // its root is root's, as a folder of an earlier run would be
    ASSERT_TRUE(mounted.ok);
    ASSERT_TRUE(QDir().mkpath(dwhs + "/keep/deeper"));
    for (const QString& name : {QStringLiteral("a.txt"), QStringLiteral("keep/deeper/b.txt")}) {
        QFile f(dwhs + '/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("theirs: " + name.toUtf8());
    }
    const auto entries = [&] {
        return QDir(dwhs).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden, QDir::Name);
    };
    const QStringList before = entries();

    const FillResult r = fillFreeSpace(vol);
    EXPECT_EQ(r.outcome, FillResult::Outcome::Failed);
    EXPECT_EQ(r.reason, FreeSpaceFill::kForeignFolderText.arg(dwhs));
    EXPECT_EQ(r.written, 0);
    // The quit path's removal leaves it too.
    EXPECT_FALSE(FreeSpaceFill::removeFolderAt(vol.device(), vol.mountPoint()));

    EXPECT_EQ(entries(), before) << "a fill file was written on the other volume, or its files were removed";
    EXPECT_EQ(TempTree::read(dwhs + "/a.txt"), "theirs: a.txt");
    EXPECT_EQ(TempTree::read(dwhs + "/keep/deeper/b.txt"), "theirs: keep/deeper/b.txt");
}

// A stand-in diskutil: "info" describes /dev/fake1 (mounted at `mountPoint`,
// a system volume or not); every other command is noted in "called" and
// ends with `status` and `errorText`.
QString fakeDiskutil(const TempTree& tree, bool system, const QString& mountPoint, int status = 0,
                     const QString& errorText = QString())
{
    const QString script = tree / "diskutil";
    QFile f(script);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do [ \"$a\" = info ] && { cat <<'EOF'\n"
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                           "<key>VolumeName</key><string>Data</string><key>DeviceNode</key><string>/dev/fake1</string>"
                           "<key>FilesystemName</key><string>ext4</string><key>BusProtocol</key><string>USB</string>"
                           "<key>MountPoint</key><string>%1</string><key>SystemVolume</key><%2/></dict></plist>\n"
                           "EOF\nexit 0; }; done\necho \"$@\" >> '%3'\necho '%4' >&2\nexit %5\n")
                .arg(mountPoint, system ? "true" : "false", tree / "called", errorText)
                .arg(status)
                .toUtf8());
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return script;
}

VolumeObjPtr fakeVolume()
{
    auto volume = std::make_shared<VolumeObj>();
    volume->volumeName = "Data";
    volume->volumePath = "/dev/fake1";
    volume->volumeType = "ext4";
    return volume;
}

QString readText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(WipeFailure, SystemVolumeIsRefusedBeforeAnyErase)
{
    TempTree tree;
    WipeRun run(fakeVolume(), WipeRun::WholeDrive, 1);
    run.setDiskTool(platform::DiskTool(fakeDiskutil(tree, true, "/srv"), true));
    run.start();
    ASSERT_TRUE(runToEnd(run, 30000));
    EXPECT_EQ(run.result().outcome, FillResult::Outcome::Failed);
    EXPECT_TRUE(run.result().reason.contains("system volume")) << run.result().reason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(tree / "called")) << "diskutil was asked to act on a system volume";
}

TEST(WipeFailure, FailedReformatEndsTheRunWithDiskutilsReason)
{
    TempTree tree;
    QDir().mkpath(tree / "volume");
    WipeRun run(fakeVolume(), WipeRun::WholeDrive, 1);
    run.setDiskTool(platform::DiskTool(fakeDiskutil(tree, false, tree / "volume", 1, "fake1 is busy"), true));
    bool filled = false;
    QObject::connect(&run, &WipeRun::fillStarted, [&] { filled = true; });
    run.start();
    ASSERT_TRUE(runToEnd(run, 30000));
    EXPECT_EQ(run.result().outcome, FillResult::Outcome::Failed);
    EXPECT_TRUE(run.result().reason.contains("fake1 is busy")) << run.result().reason.toStdString();
    EXPECT_FALSE(filled);
    EXPECT_TRUE(readText(tree / "called").startsWith("--show-loop-as-usb reformat /dev/fake1")) << readText(tree / "called").toStdString();
}

TEST(WipeFailure, SrmRefusingAnEntryAfterTheReformatFailsTheRun)
{
    TempTree tree;
    QDir().mkpath(tree / "volume/lost+found");
    QFile left(tree / "volume/left-over");
    ASSERT_TRUE(left.open(QIODevice::WriteOnly));
    left.close();
    FakeTool srm("srm", "echo \"$@\" >> \"$LOG\"\nexit 1\n");
    WipeRun run(fakeVolume(), WipeRun::WholeDrive, 1);
    run.setDiskTool(platform::DiskTool(fakeDiskutil(tree, false, tree / "volume"), true));
    run.setSrmPath(srm.path());
    bool filled = false;
    QObject::connect(&run, &WipeRun::fillStarted, [&] { filled = true; });
    run.start();
    ASSERT_TRUE(runToEnd(run, 30000));
    EXPECT_EQ(run.result().outcome, FillResult::Outcome::Failed);
    EXPECT_FALSE(filled);
    // lost+found is the file system's own and never goes to srm.
    EXPECT_EQ(srm.log(), "-fsvrz -- " + tree / "volume/left-over" + "\n");
}

TEST(WipeFailure, SecondVolumeNamedNewStopsTheNtfsRoadBeforeTheErase)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume other("vfat", 64, "NEW");
    LoopVolume ntfs("ntfs", 64, label("TVN"));
    if (!ntfs.ok() || !other.ok())
        GTEST_SKIP() << "NTFS or FAT volumes cannot be made here";
    ASSERT_TRUE(other.mount() && ntfs.mount()) << other.error().toStdString() << ntfs.error().toStdString();
    ASSERT_TRUE(writeMarkerFile(ntfs.mountPoint() + "/still-here.bin", 1 << 20));

    WipeRun run(volumeFor(ntfs.device()), WipeRun::WholeDrive, 1);
    run.setDiskTool(diskTool());
    run.start();
    ASSERT_TRUE(runToEnd(run));
    EXPECT_EQ(run.result().outcome, FillResult::Outcome::Failed);
    EXPECT_TRUE(run.result().reason.contains("NEW")) << run.result().reason.toStdString();
    EXPECT_TRUE(QFileInfo::exists(ntfs.mountPoint() + "/still-here.bin"));
}

}  // namespace

namespace {

// A loop volume whose image lies on a private tmpfs too small for it: once
// the fill has written past the tmpfs's size, every write to the device
// fails, as it does when a stick is pulled. Whether the file system then
// reports an I/O error or a full volume, the fill must not call it done.
struct FailingVolume
{
    QTemporaryDir dir{QDir::tempPath() + "/tv-failing-XXXXXX"};
    QString tmpfs;
    QString device;
    QString mountPoint;

    bool setUp(QString* why)
    {
        QByteArray out;
        tmpfs = dir.path() + "/store";
        const QString mnt = dir.path() + "/mnt";
        QDir().mkpath(tmpfs);
        QDir().mkpath(mnt);
        if (LoopVolume::run("mount", {"-t", "tmpfs", "-o", "size=160m", "tmpfs", tmpfs}, &out) != 0) {
            tmpfs.clear();
            return *why = "tmpfs: " + QString::fromLocal8Bit(out), false;
        }
        const QString image = tmpfs + "/image";
        QFile f(image);
        if (!f.open(QIODevice::WriteOnly) || !f.resize(qint64(512) << 20))
            return *why = "image", false;
        f.close();
        if (LoopVolume::run("losetup", {"--find", "--show", image}, &out) != 0)
            return *why = "losetup: " + QString::fromLocal8Bit(out), false;
        device = QString::fromLocal8Bit(out).trimmed();
        if (LoopVolume::run("mkfs.ext4", {"-q", "-F", device}, &out) != 0)
            return *why = "mkfs: " + QString::fromLocal8Bit(out), false;
        if (LoopVolume::run("mount", {device, mnt}, &out) != 0)
            return *why = "mount: " + QString::fromLocal8Bit(out), false;
        mountPoint = mnt;
        return true;
    }
    ~FailingVolume()
    {
        if (!mountPoint.isEmpty() && LoopVolume::run("umount", {mountPoint}) != 0)
            LoopVolume::run("umount", {"-l", mountPoint});
        if (!device.isEmpty())
            LoopVolume::run("losetup", {"-d", device});
        if (!tmpfs.isEmpty() && LoopVolume::run("umount", {tmpfs}) != 0)
            LoopVolume::run("umount", {"-l", tmpfs});
    }
};

TEST(WipeFailure, DeviceFailingMidFillEndsAsAFailure)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    FailingVolume vol;
    QString why;
    if (!vol.setUp(&why))
        GTEST_SKIP() << "no failing volume can be made here: " << why.toStdString();

    FreeSpaceFill fill(vol.device, vol.mountPoint, 1);
    const FillResult r = fill.run({});
    EXPECT_EQ(r.outcome, FillResult::Outcome::Failed) << r.reason.toStdString();
    EXPECT_FALSE(r.reason.isEmpty());
}

}  // namespace

namespace {

TEST(WipeFailure, TerminationMidFillStopsTheFillAndLeavesNoFillFolder)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 2048, label("TVT"));
    ASSERT_TRUE(vol.ok() && vol.mount()) << vol.error().toStdString();
    TempTree tree;
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(TV_QUIT_PROBE), {vol.device(), tree / "DataBase.db", diskutilPath(), srmPath()});
    ASSERT_TRUE(probe.waitForStarted());
    QByteArray said;
    while (!said.contains("filling") && !said.contains("ended") && probe.waitForReadyRead(60000))
        said += probe.readAllStandardOutput();
    ASSERT_TRUE(said.contains("filling")) << said.toStdString();
    ::kill(pid_t(probe.processId()), SIGTERM);
    ASSERT_TRUE(probe.waitForFinished(30000));
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(vol.mountPoint() + "/.DWHS"));
    // The stopped run is in the history, and not as a wipe that was done.
    DoDataBase store(tree / "DataBase.db");
    const HistoryRuns runs = store.getAllData();
    ASSERT_EQ(runs.size(), 1);
    QStringList results;
    for (const HistoryRow& row : runs.first())
        if (!row.isHeader() && row.items.contains(vol.device()))
            results << row.result;
    EXPECT_EQ(results, QStringList{"Failed"});
}

}  // namespace

namespace {

TEST(WipeFailure, FillFolderOfAKilledRunIsRemovedByTheNextRun)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 2048, label("TVX"));
    ASSERT_TRUE(vol.ok() && vol.mount()) << vol.error().toStdString();
    QFile reserveFile(QStringLiteral("/sys/fs/ext4/%1/reserved_clusters").arg(vol.kernelName()));
    ASSERT_TRUE(reserveFile.open(QIODevice::ReadOnly));
    const QByteArray reserve = reserveFile.readAll();
    reserveFile.close();
    TempTree tree;
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(TV_QUIT_PROBE), {vol.device(), tree / "DataBase.db", diskutilPath(), srmPath()});
    ASSERT_TRUE(probe.waitForStarted());
    QByteArray said;
    while (!said.contains("filling") && !said.contains("ended") && probe.waitForReadyRead(60000))
        said += probe.readAllStandardOutput();
    ASSERT_TRUE(said.contains("filling")) << said.toStdString();
    probe.kill();  // SIGKILL: no way out runs
    ASSERT_TRUE(probe.waitForFinished(30000));
    ASSERT_TRUE(QFileInfo(vol.mountPoint() + "/.DWHS").isDir()) << "the killed run left nothing to clear";
    ASSERT_TRUE(reserveFile.open(QIODevice::ReadOnly));
    ASSERT_EQ(reserveFile.readAll().trimmed(), "0") << "the killed run did not hold the reserve down";
    reserveFile.close();

    const FillResult r = fillFreeSpace(vol);
    EXPECT_EQ(r.outcome, FillResult::Outcome::Success) << r.reason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(vol.mountPoint() + "/.DWHS"));
    // The next run puts back the reserve the killed one could not.
    ASSERT_TRUE(reserveFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(reserveFile.readAll(), reserve);
}

}  // namespace

namespace {

// Another disk at the node of the chosen volume: the chosen image is taken
// off and a second image is attached at the same /dev/loopN and mounted, as
// when a stick is pulled and another one plugged in.
struct SwappedDisk
{
    QString device;
    QString mountPoint;
    QTemporaryDir dir{QDir::tempPath() + "/tv-swapped-XXXXXX"};

    bool attach(const QString& node, const QString& image, QString* why)
    {
        QByteArray out;
        if (LoopVolume::run("losetup", {node, image}, &out) != 0)
            return *why = "losetup: " + QString::fromLocal8Bit(out), false;
        device = node;
        mountPoint = dir.path() + "/mnt";
        QDir().mkpath(mountPoint);
        if (LoopVolume::run("mount", {node, mountPoint}, &out) != 0) {
            mountPoint.clear();
            return *why = "mount: " + QString::fromLocal8Bit(out), false;
        }
        return true;
    }
    ~SwappedDisk()
    {
        if (!mountPoint.isEmpty() && LoopVolume::run("umount", {mountPoint}) != 0)
            LoopVolume::run("umount", {"-l", mountPoint});
        if (!device.isEmpty())
            LoopVolume::run("losetup", {"-d", device});
    }
};

TEST(WipeFailure, AnotherDiskAtTheChosenNodeIsNotWiped)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    for (const WipeRun::Mode mode : {WipeRun::WholeDrive, WipeRun::FreeSpace}) {
        LoopVolume chosen("ext4", 64, label("TVA"));
        LoopVolume other("ext4", 64, label("TVB"));
        ASSERT_TRUE(chosen.ok() && other.ok() && chosen.mount() && other.mount());
        ASSERT_TRUE(writeMarkerFile(other.mountPoint() + "/theirs.bin", 1 << 20));
        const VolumeObjPtr volume = volumeFor(chosen.device());
        ASSERT_TRUE(volume);
        ASSERT_NE(volume->diskSequence, 0u) << "diskutil gave no disk sequence";

        const QString node = chosen.device();
        ASSERT_TRUE(chosen.unmount() && other.unmount());
        ASSERT_EQ(LoopVolume::run("losetup", {"-d", node}), 0);
        chosen.forget();
        SwappedDisk swapped;
        QString why;
        if (!swapped.attach(node, other.image(), &why))
            GTEST_SKIP() << "the node was taken meanwhile: " << why.toStdString();
        ASSERT_TRUE(QFileInfo::exists(swapped.mountPoint + "/theirs.bin"));
        const qint64 before = countInImage(other.image(), marker());

        WipeRun run(volume, mode, 1);
        run.setDiskTool(diskTool());
        bool filled = false;
        QObject::connect(&run, &WipeRun::fillStarted, [&] { filled = true; });
        run.start();
        ASSERT_TRUE(runToEnd(run));
        EXPECT_EQ(run.result().outcome, FillResult::Outcome::Failed) << mode;
        EXPECT_TRUE(run.result().reason.contains("another disk")) << run.result().reason.toStdString();
        EXPECT_FALSE(filled);
        EXPECT_FALSE(run.erased());
        EXPECT_TRUE(QFileInfo::exists(swapped.mountPoint + "/theirs.bin"));
        EXPECT_FALSE(QFileInfo::exists(swapped.mountPoint + "/.DWHS"));
        ASSERT_EQ(LoopVolume::run("umount", {swapped.mountPoint}), 0);
        swapped.mountPoint.clear();
        EXPECT_EQ(countInImage(other.image(), marker()), before);
        EXPECT_GT(before, 0);
    }
}

}  // namespace
