#include "LoopVolume.h"
#include "SrmRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QByteArray uniqueMarker(const char* what)
{
    return QByteArray("TV-SRM-PROOF-") + what + "-" + QUuid::createUuid().toByteArray(QUuid::Id128) + "|";
}

}  // namespace

// The real test of a shredder: after it ran, the old contents are nowhere on the
// device. A plainly unlinked control file shows that the scan would find them.
TEST(SrmProof, OldContentsAreGoneFromTheDevice)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume volume("ext4", 48);
    ASSERT_TRUE(volume.ok()) << volume.error().toStdString();
    ASSERT_TRUE(volume.mount()) << volume.error().toStdString();
    const QString root = volume.mountPoint();

    struct Victim
    {
        QString flags;
        QByteArray marker;
        int bytes;
    };
    // Sizes off the block size, so the partly used last block counts too.
    Victim victims[] = {
        {"-fsvrz", uniqueMarker("one"), (4 << 20) + 1000},
        {"-fEvrz", uniqueMarker("three"), (256 << 10) + 300},
        {"-fmvrz", uniqueMarker("seven"), (256 << 10) + 5},
        {"-fvrz", uniqueMarker("thirtyfive"), 200 << 10},
    };
    const QByteArray controlMarker = uniqueMarker("control");
    const auto contentOf = [](const QByteArray& marker, int bytes) {
        return marker.repeated(bytes / int(marker.size()) + 1).left(bytes);
    };
    for (const auto& v : victims)
        writeSynced(root + "/victim" + v.flags, contentOf(v.marker, v.bytes));
    writeSynced(root + "/control", contentOf(controlMarker, 256 << 10));
    ::sync();

    for (const auto& v : victims) {
        const QString path = root + "/victim" + v.flags;
        const SrmRun r = runSrm({v.flags, path});
        EXPECT_EQ(r.code, 0) << v.flags.toStdString() << ": " << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path));
    }
    ASSERT_EQ(::unlink(QFile::encodeName(root + "/control").constData()), 0);
    ASSERT_TRUE(volume.unmount());

    QFile image(volume.image());
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    const QByteArray raw = image.readAll();
    ASSERT_EQ(raw.size(), qint64(48) << 20);
    EXPECT_TRUE(raw.contains(controlMarker)) << "the scan cannot see unlinked data";
    for (const auto& v : victims)
        EXPECT_FALSE(raw.contains(v.marker)) << v.flags.toStdString() << " left the old contents on the device";
}

namespace {

// The indexes of the markers `prefix` + index + "|" that the raw bytes still hold.
std::set<int> markersIn(const QByteArray& raw, const QByteArray& prefix)
{
    std::set<int> found;
    for (qsizetype at = raw.indexOf(prefix); at >= 0; at = raw.indexOf(prefix, at + 1)) {
        const qsizetype from = at + prefix.size();
        const qsizetype bar = raw.indexOf('|', from);
        if (bar > from && bar - from < 8)
            found.insert(raw.mid(from, bar - from).toInt());
    }
    return found;
}

QByteArray readImage(const LoopVolume& volume)
{
    QFile image(volume.image());
    return image.open(QIODevice::ReadOnly) ? image.readAll() : QByteArray();
}

// `folders` x `perFolder` files of 4 KiB under `top`, each full of its own marker;
// returns the paths by marker index.
std::vector<QByteArray> smallFileTree(const QString& top, const QByteArray& prefix, int folders, int perFolder)
{
    std::vector<QByteArray> paths;
    for (int f = 0; f < folders; ++f) {
        const QString folder = top + QStringLiteral("/f%1").arg(f);
        QDir().mkpath(folder);
        for (int i = 0; i < perFolder; ++i) {
            const int index = int(paths.size());
            const QByteArray marker = prefix + QByteArray::number(index) + "|";
            const QString path = folder + QStringLiteral("/file%1").arg(i);
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly))
                return {};
            file.write(marker.repeated(4096 / int(marker.size()) + 1).left(4096));
            paths.push_back(QFile::encodeName(path));
        }
    }
    ::sync();
    return paths;
}

}  // namespace

// Holes are left alone: writing them would allocate a gigabyte on a 64 MiB volume.
TEST(SrmProof, SparseFileIsErasedWithoutFillingTheVolume)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume volume("ext4", 64);
    ASSERT_TRUE(volume.ok()) << volume.error().toStdString();
    ASSERT_TRUE(volume.mount()) << volume.error().toStdString();
    const QByteArray marker = uniqueMarker("sparse");
    const QByteArray data = marker.repeated((64 << 10) / int(marker.size()));
    const QByteArray path = QFile::encodeName(volume.mountPoint() + "/sparse");
    const off_t size = off_t(1) << 30;
    {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        // Data at the start, in the middle and in a last block the size ends inside.
        for (const off_t at : {off_t(0), off_t(300) << 20, size - 5000})
            ASSERT_EQ(::pwrite(fd, data.constData(), std::min<size_t>(data.size(), size_t(size - at)), at),
                      std::min<qsizetype>(data.size(), size - at));
        ASSERT_EQ(::fsync(fd), 0);
        ::close(fd);
    }
    ::sync();
    struct statvfs before;
    ASSERT_EQ(::statvfs(QFile::encodeName(volume.mountPoint()).constData(), &before), 0);

    const SrmRun r = runSrm({"-fsz", QFile::decodeName(path)}, 120000);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(QFile::decodeName(path)));
    struct statvfs after;
    ASSERT_EQ(::statvfs(QFile::encodeName(volume.mountPoint()).constData(), &after), 0);
    EXPECT_GE(after.f_bfree, before.f_bfree);

    EXPECT_FALSE(readImage(volume).contains(marker)) << "before unmounting";
    ASSERT_TRUE(volume.unmount());
    EXPECT_FALSE(readImage(volume).contains(marker)) << "after unmounting";
}

TEST(SrmProof, TreeOfSmallFilesLeavesNoMarker)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume volume("ext4", 64);
    ASSERT_TRUE(volume.ok()) << volume.error().toStdString();
    ASSERT_TRUE(volume.mount()) << volume.error().toStdString();
    const QByteArray prefix = uniqueMarker("tree");
    const QString top = volume.mountPoint() + "/top";
    const auto paths = smallFileTree(top, prefix, 20, 100);
    ASSERT_EQ(paths.size(), 2000u);
    const QByteArray control = uniqueMarker("control");
    writeSynced(volume.mountPoint() + "/control", control.repeated(100));
    ASSERT_EQ(::unlink(QFile::encodeName(volume.mountPoint() + "/control").constData()), 0);
    ASSERT_EQ(markersIn(readImage(volume), prefix).size(), 2000u) << "the scan cannot see the markers";

    const SrmRun r = runSrm({"-fsrM", top}, 300000);
    EXPECT_EQ(r.code, 0) << r.err.left(2000).toStdString();
    EXPECT_EQ(r.out.count(QByteArray("E\t")), 2021);
    EXPECT_FALSE(QFile::exists(top));

    // What the device holds right after the run, and once the cache is written out.
    EXPECT_EQ(markersIn(readImage(volume), prefix).size(), 0u) << "before unmounting";
    ASSERT_TRUE(volume.unmount());
    const QByteArray raw = readImage(volume);
    EXPECT_TRUE(raw.contains(control)) << "the scan cannot see unlinked data";
    EXPECT_EQ(markersIn(raw, prefix).size(), 0u) << "after unmounting";
}

// The batch's one sync per pass must carry every file's pass to the disk on the
// other file systems users erase on too, not only on ext4.
TEST(SrmProof, TreeOnOtherFileSystemsLeavesNoMarker)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    for (const QString& fs : {QStringLiteral("vfat"), QStringLiteral("exfat"), QStringLiteral("ntfs")}) {
        SCOPED_TRACE(fs.toStdString());
        LoopVolume volume(fs, 64);
        if (!volume.ok() || !volume.mount()) {
            std::cout << "[ NOTE     ] " << fs.toStdString() << " not proved here: " << volume.error().toStdString()
                      << std::endl;
            continue;
        }
        const QByteArray prefix = uniqueMarker(fs.toLatin1().constData());
        const QString top = volume.mountPoint() + "/top";
        const auto paths = smallFileTree(top, prefix, 5, 40);
        ASSERT_EQ(paths.size(), 200u);
        // One file large enough to be overwritten on its own.
        const QByteArray large = prefix + "99999|";
        writeSynced(top + "/large", large.repeated((3 << 20) / int(large.size())));
        ::sync();
        ASSERT_EQ(markersIn(readImage(volume), prefix).size(), 201u) << "the scan cannot see the markers";

        const SrmRun r = runSrm({"-fErM", top}, 300000);
        EXPECT_EQ(r.code, 0) << r.err.left(2000).toStdString();
        EXPECT_EQ(r.out.count(QByteArray("E\t")), 207);
        EXPECT_FALSE(QFile::exists(top));
        // The FUSE FAT driver (the only FAT driver where the kernel has none)
        // answers a flush before its own cache reaches the device, so there the
        // proof is made once it has let go of the device.
        if (fs != QLatin1String("vfat"))
            EXPECT_EQ(markersIn(readImage(volume), prefix).size(), 0u) << "before unmounting";
        ASSERT_TRUE(volume.unmount());
        EXPECT_EQ(markersIn(readImage(volume), prefix).size(), 0u) << "after unmounting";
    }
}

// A run killed outright mid-tree: whatever it had reported gone must already be
// overwritten on the device, since the report is all a caller has.
TEST(SrmProof, KilledMidTreeEveryReportedFileIsOverwritten)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume volume("ext4", 64);
    ASSERT_TRUE(volume.ok()) << volume.error().toStdString();
    ASSERT_TRUE(volume.mount()) << volume.error().toStdString();
    const QByteArray prefix = uniqueMarker("killed");
    const QString top = volume.mountPoint() + "/top";
    const auto paths = smallFileTree(top, prefix, 40, 50);
    ASSERT_EQ(paths.size(), 2000u);
    std::map<QByteArray, int> indexOf;
    for (size_t i = 0; i < paths.size(); ++i)
        indexOf[paths[i]] = int(i);

    QProcess p;
    // All 35 passes, so the run lasts and the kill is likely to land inside a
    // batch's writing.
    p.start(srmPath(), {"-frM", top});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (out.count(QByteArray("E\t")) < 300 && timer.elapsed() < 120000 && p.state() == QProcess::Running) {
        p.waitForReadyRead(50);
        out += p.readAllStandardOutput();
    }
    // (Never kill(0): once the process has ended its id reads 0, the whole group.)
    if (const qint64 pid = p.processId(); pid > 0)
        ::kill(pid_t(pid), SIGKILL);
    p.waitForFinished();
    out += p.readAllStandardOutput();
    // The device as the kill left it, before any writing out of the cache.
    const std::set<int> left = markersIn(readImage(volume), prefix);

    std::vector<int> reported;
    for (const QByteArray& rec : out.split('\0'))
        if (rec.startsWith("E\t") && indexOf.count(rec.mid(2)))
            reported.push_back(indexOf[rec.mid(2)]);
    ASSERT_GE(reported.size(), 300u) << out.size();
    EXPECT_LT(reported.size(), 2000u) << "the run ended before the kill";
    for (const int i : reported)
        EXPECT_EQ(left.count(i), 0u) << "reported gone, still on the device: " << paths[size_t(i)].toStdString();
    EXPECT_FALSE(left.empty()) << "nothing was left to erase: the kill came too late to prove anything";
    ASSERT_TRUE(volume.unmount());
    const std::set<int> afterUnmount = markersIn(readImage(volume), prefix);
    for (const int i : reported)
        EXPECT_EQ(afterUnmount.count(i), 0u) << paths[size_t(i)].toStdString();
}

// A file large enough to be written past the page cache, its size off every
// boundary: on ext4 the passes go straight to the device, behind the FUSE
// exFAT driver through the cache; on both nothing of it is left.
TEST(SrmProof, LargeFileLeavesNoMarkerPastTheCacheOrThroughIt)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    for (const QString& fs : {QStringLiteral("ext4"), QStringLiteral("exfat")}) {
        SCOPED_TRACE(fs.toStdString());
        LoopVolume volume(fs, 112);
        if (!volume.ok() || !volume.mount()) {
            ASSERT_NE(fs, QLatin1String("ext4")) << volume.error().toStdString();
            std::cout << "[ NOTE     ] " << fs.toStdString() << " not proved here: " << volume.error().toStdString()
                      << std::endl;
            continue;
        }
        const QByteArray marker = uniqueMarker(fs.toLatin1().constData());
        const int bytes = (40 << 20) + 1000;
        const QString path = volume.mountPoint() + "/large";
        writeSynced(path, marker.repeated(bytes / int(marker.size()) + 1).left(bytes));
        ::sync();
        ASSERT_TRUE(readImage(volume).contains(marker)) << "the scan cannot see the marker";

        const SrmRun r = runSrm({"-fEz", path}, 180000);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_FALSE(readImage(volume).contains(marker)) << "before unmounting";
        ASSERT_TRUE(volume.unmount());
        EXPECT_FALSE(readImage(volume).contains(marker)) << "after unmounting";
    }
}
