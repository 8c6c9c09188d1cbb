// The free-space fill proven on real volumes: markers in deleted files are
// gone from the raw image afterwards, live files are untouched, the file
// system is clean and nothing of the fill is left.
#include "WipeProof.h"

#include "WipeDisk/FreeSpaceFill.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace wipeproof;

namespace {

QString reservePath(const LoopVolume& v)
{
    return QStringLiteral("/sys/fs/ext4/%1/reserved_clusters").arg(v.kernelName());
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class FreeSpaceProof : public ::testing::TestWithParam<const char*>
{
};

TEST_P(FreeSpaceProof, DeletedMarkersAreGoneAndLiveFilesStay)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString fs = QString::fromLatin1(GetParam());
    LoopVolume vol(fs, 512, QStringLiteral("TVF%1").arg(::getpid() % 100000));
    if (!vol.ok())
        GTEST_SKIP() << fs.toStdString() << " volumes cannot be made here: " << vol.error().toStdString();
    ASSERT_TRUE(disableDiscard(vol.device()));
    if (!vol.mount())
        GTEST_SKIP() << fs.toStdString() << " volumes cannot be mounted here: " << vol.error().toStdString();

    const QString keep = vol.mountPoint() + "/keep.txt";
    const QByteArray keepText = "a file the user still has\n";
    {
        QFile f(keep);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(keepText);
    }
    ASSERT_TRUE(plantDeletedMarkers(vol.mountPoint(), 0.9));
    const QByteArray reserveBefore = fs == "ext4" ? readAll(reservePath(vol)) : QByteArray();

    VolumeObjPtr volume = volumeFor(vol.device());
    ASSERT_TRUE(volume);
    WipeRun run(volume, WipeRun::FreeSpace, 1);
    run.setDiskTool(diskTool());
    int passEnds = 0;
    QObject::connect(&run, &WipeRun::passEnded, [&](int, int) { ++passEnds; });
    run.start();
    ASSERT_TRUE(runToEnd(run));
    EXPECT_EQ(run.result().outcome, FillResult::Outcome::Success) << run.result().reason.toStdString();
    EXPECT_EQ(passEnds, 1);
    EXPECT_GT(run.result().written, qint64(400) << 20);
    // Every free block was reached: the end view has nothing to warn of.
    EXPECT_EQ(run.result().unreached, 0);

    if (fs == "ext4") {
        EXPECT_EQ(readAll(reservePath(vol)), reserveBefore);
    }
    EXPECT_FALSE(QFileInfo::exists(vol.mountPoint() + "/.DWHS"));
    EXPECT_EQ(readAll(keep), keepText);

    ASSERT_TRUE(vol.unmount());
    EXPECT_EQ(countInImage(vol.image(), marker()), 0);
    EXPECT_EQ(fsckProblem(fs, vol.device()).toStdString(), "");
}

// Blocks of the raw image that hold the marker, in `blockSize` units.
QList<qint64> markedBlocks(const QString& image, qint64 blockSize)
{
    QList<qint64> blocks;
    QFile f(image);
    if (!f.open(QIODevice::ReadOnly))
        return blocks;
    const QByteArray all = f.readAll();
    for (qsizetype at = all.indexOf(marker()); at >= 0; at = all.indexOf(marker(), at + 1))
        if (blocks.isEmpty() || blocks.last() != at / blockSize)
            blocks << at / blockSize;
    return blocks;
}

// ext4 with 1 KiB blocks, its free space once held by many small files (the
// file system's group preallocations place those) and a few large ones (the
// per-file ones): after the fill no block the bitmap calls free holds old
// data, or the run says how much it could not reach.
TEST(FreeSpaceFillProof, NoFreeBlockOfAOneKiBExt4KeepsOldData)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString label = QStringLiteral("TVB%1").arg(::getpid() % 100000);
    LoopVolume vol("ext4", 96, label);
    ASSERT_TRUE(vol.ok()) << vol.error().toStdString();
    ASSERT_EQ(LoopVolume::run("mkfs.ext4", {"-q", "-F", "-b", "1024", "-L", label, vol.device()}), 0);
    ASSERT_TRUE(disableDiscard(vol.device()));
    ASSERT_TRUE(vol.mount()) << vol.error().toStdString();
    // Old data on nearly all of the free space first; then small files
    // written from every processor, each drawing on that processor's group
    // preallocation, which keeps the rest of its stretch (old data) aside
    // after they are gone or closed. Half of them stay, as a user's files.
    ASSERT_TRUE(plantDeletedMarkers(vol.mountPoint(), 0.9));
    {
        QByteArray text;
        while (text.size() < 4096)
            text += marker();
        const int cpus = std::max(1, int(std::thread::hardware_concurrency()));
        std::atomic<int> failures{0};
        std::vector<std::thread> writers;
        for (int cpu = 0; cpu < cpus; ++cpu) {
            writers.emplace_back([&, cpu] {
                cpu_set_t one;
                CPU_ZERO(&one);
                CPU_SET(cpu, &one);
                ::sched_setaffinity(0, sizeof one, &one);
                for (int i = 0; i < 60; ++i) {
                    QFile f(vol.mountPoint() + QStringLiteral("/s%1-%2.bin").arg(cpu).arg(i));
                    // Sizes that end inside a block: its tail is old data too.
                    const qint64 size = 2000 + 37 * (i % 50);
                    if (!f.open(QIODevice::WriteOnly) || f.write(text.constData(), size) != size || !f.flush() ||
                        ::fsync(f.handle()) != 0)
                        ++failures;
                    f.close();
                    if (i % 2 && !f.remove())
                        ++failures;
                }
            });
        }
        for (std::thread& t : writers)
            t.join();
        ASSERT_EQ(failures.load(), 0);
        ::sync();
    }

    VolumeObjPtr volume = volumeFor(vol.device());
    ASSERT_TRUE(volume);
    WipeRun run(volume, WipeRun::FreeSpace, 1);
    run.setDiskTool(diskTool());
    run.start();
    ASSERT_TRUE(runToEnd(run));
    EXPECT_EQ(run.result().outcome, FillResult::Outcome::Success) << run.result().reason.toStdString();
    ASSERT_TRUE(vol.unmount());

    QStringList free;
    for (const qint64 block : markedBlocks(vol.image(), 1024)) {
        QByteArray out;
        LoopVolume::run("debugfs", {"-R", QStringLiteral("testb %1").arg(block), vol.device()}, &out);
        if (out.contains("not in use"))
            free << QString::number(block);
        if (free.size() >= 20)
            break;
    }
    // Closing the fill's files and filling again reaches what was set aside.
    EXPECT_EQ(run.result().unreached, 0);
    if (run.result().unreached == 0) {
        EXPECT_TRUE(free.isEmpty()) << "free blocks with old data, the run said nothing: " << free.join(' ').toStdString();
    }
    EXPECT_EQ(fsckProblem("ext4", vol.device()).toStdString(), "");
}

INSTANTIATE_TEST_SUITE_P(FileSystems, FreeSpaceProof, ::testing::Values("ext4", "vfat", "exfat", "ntfs"),
                         [](const auto& info) { return std::string(info.param); });

TEST(FreeSpaceFillProof, ASystemVolumeKeepsWhatItsFileSystemHoldsBackAndTheBarMoves)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 256, QStringLiteral("TVY%1").arg(::getpid() % 100000));
    ASSERT_TRUE(vol.ok() && vol.mount()) << vol.error().toStdString();
    struct statvfs sv{};
    ASSERT_EQ(::statvfs(QFile::encodeName(vol.mountPoint()).constData(), &sv), 0);
    const qint64 unit = qint64(sv.f_frsize);
    const qint64 held = qint64(sv.f_bfree - sv.f_bavail) * unit;
    const qint64 usable = qint64(sv.f_bavail) * unit;
    ASSERT_GT(held, qint64(4) << 20) << "the volume holds nothing back for root";
    const QByteArray reserve = readAll(reservePath(vol));

    std::atomic<bool> done{false};
    std::atomic<qint64> leastFree{held + usable};
    std::atomic<bool> lifted{false};
    std::thread watch([&] {
        const QByteArray mp = QFile::encodeName(vol.mountPoint());
        while (!done.load()) {
            struct statvfs now{};
            if (::statvfs(mp.constData(), &now) == 0)
                leastFree = std::min<qint64>(leastFree.load(), qint64(now.f_bfree) * unit);
            lifted = lifted.load() || readAll(reservePath(vol)).trimmed() == "0";
            ::usleep(5000);
        }
    });
    FreeSpaceFill fill(vol.device(), vol.mountPoint(), 1);
    fill.setSystemVolume(true);
    // Too small for a chunk file: the bar still moves with the bytes.
    int moving = 0;
    float last = 0;
    bool backwards = false;
    FreeSpaceFill::Callbacks callbacks;
    callbacks.progress = [&](float value, int, int) {
        moving += value > 0 && value < 100;
        backwards = backwards || value < last;
        last = value;
    };
    const FillResult r = fill.run(callbacks);
    done = true;
    watch.join();

    EXPECT_EQ(r.outcome, FillResult::Outcome::Success) << r.reason.toStdString();
    EXPECT_FALSE(lifted.load()) << "the file system's own reserve was lifted";
    EXPECT_GE(leastFree.load(), held * 9 / 10) << "the fill took what root's services write into";
    EXPECT_GE(r.written, usable * 9 / 10) << "the space everyone else may use was not filled";
    EXPECT_EQ(readAll(reservePath(vol)), reserve);
    EXPECT_FALSE(QFileInfo::exists(vol.mountPoint() + "/.DWHS"));
    EXPECT_GT(moving, 10);
    EXPECT_FALSE(backwards);
}

// FAT32 with 512-byte clusters through the FUSE driver where the kernel has
// none: slow, and the driver tells no blocks, only its free clusters. The
// bar follows the bytes written rather than standing at 0 until the end.
TEST(FreeSpaceFillProof, TheBarFollowsTheBytesOnASlowSmallClusterFatVolume)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString label = QStringLiteral("TVS%1").arg(::getpid() % 100000);
    LoopVolume vol("vfat", 64, label);
    ASSERT_TRUE(vol.ok()) << vol.error().toStdString();
    ASSERT_EQ(LoopVolume::run("mkfs.vfat", {"-F", "32", "-s", "1", "-S", "512", "-n", label, vol.device()}), 0);
    ASSERT_TRUE(vol.mount()) << vol.error().toStdString();

    QElapsedTimer clock;
    QList<QPair<qint64, float>> shown;  // (ms since the start, bar)
    FreeSpaceFill fill(vol.device(), vol.mountPoint(), 1);
    FreeSpaceFill::Callbacks callbacks;
    callbacks.progress = [&](float value, int, int) { shown.append({clock.elapsed(), value}); };
    clock.start();
    const FillResult r = fill.run(callbacks);
    const qint64 took = clock.elapsed();
    EXPECT_EQ(r.outcome, FillResult::Outcome::Success) << r.reason.toStdString();
    EXPECT_GT(r.written, qint64(50) << 20);

    // Written at an even pace, the bar is well under way by half the run.
    float atHalf = 0;
    QSet<int> percents;
    for (const auto& [at, value] : shown) {
        if (at <= took / 2)
            atHalf = value;
        percents.insert(int(value));
    }
    EXPECT_GE(percents.size(), 10) << "the bar took " << percents.size() << " values in " << took << " ms";
    EXPECT_GE(atHalf, 20.0f) << "the bar stood at " << atHalf << " % after half of " << took << " ms";
    EXPECT_FALSE(QFileInfo::exists(vol.mountPoint() + "/.DWHS"));
}

TEST(FreeSpaceFillProof, ACancelledPassLeavesTheBarAtWhatWasWritten)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 256, QStringLiteral("TVC%1").arg(::getpid() % 100000));
    ASSERT_TRUE(vol.ok() && vol.mount()) << vol.error().toStdString();
    FreeSpaceFill fill(vol.device(), vol.mountPoint(), 1);
    float last = 0;
    int passEnds = 0;
    FreeSpaceFill::Callbacks callbacks;
    callbacks.progress = [&](float value, int, int) {
        last = value;
        if (value > 5)
            fill.cancel();
    };
    callbacks.passEnded = [&](int, int) { ++passEnds; };
    const FillResult r = fill.run(callbacks);
    EXPECT_EQ(r.outcome, FillResult::Outcome::Cancelled) << r.reason.toStdString();
    EXPECT_EQ(passEnds, 0) << "a cancelled pass was reported as written to its end";
    EXPECT_GT(last, 5);
    EXPECT_LT(last, 100);
    EXPECT_FALSE(QFileInfo::exists(vol.mountPoint() + "/.DWHS"));
}

}  // namespace
