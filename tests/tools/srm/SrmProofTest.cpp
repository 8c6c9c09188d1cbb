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

namespace {

// The records of one run by path: "E", or "F" and the reason.
std::map<QByteArray, QByteArray> recordsByPath(const QByteArray& out)
{
    std::map<QByteArray, QByteArray> byPath;
    for (const QByteArray& rec : out.split('\0')) {
        if (rec.startsWith("E\t")) {
            byPath[rec.mid(2)] = "E";
        } else if (rec.startsWith("F\t")) {
            const qsizetype tab = rec.lastIndexOf('\t');
            byPath[rec.mid(2, tab - 2)] = "F" + rec.mid(tab + 1);
        }
    }
    return byPath;
}

}  // namespace

// Small files share batches across folders. In every shape, after a whole run
// the device holds no marker; and a run stopped in the middle of a batch leaves
// no item half known: whatever is gone was reported gone and is overwritten on
// the device, whatever was reported overwritten is, the rest stays where it was,
// and a second run then leaves no marker either.
TEST(SrmProof, EveryBatchShapeLeavesNoMarkerAlsoWhenStoppedMidBatch)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    struct Shape
    {
        const char* name;
        int folders;
        int perFolder;
        bool large;  // one more file, large enough to be overwritten on its own
    };
    const Shape shapes[] = {
        {"100 to a folder", 20, 100, false},
        {"500 to a folder", 4, 500, false},
        {"one folder larger than a batch", 1, 1500, false},
        {"mixed: many small folders and a large file", 300, 4, true},
    };
    for (const Shape& shape : shapes) {
        for (const bool stop : {false, true}) {
            SCOPED_TRACE(std::string(shape.name) + (stop ? ", stopped mid-batch" : ""));
            LoopVolume volume("ext4", 64);
            ASSERT_TRUE(volume.ok()) << volume.error().toStdString();
            ASSERT_TRUE(volume.mount()) << volume.error().toStdString();
            const QByteArray prefix = uniqueMarker("batch");
            const QString top = volume.mountPoint() + "/top";
            auto paths = smallFileTree(top, prefix, shape.folders, shape.perFolder);
            ASSERT_EQ(paths.size(), size_t(shape.folders * shape.perFolder));
            if (shape.large) {
                const QByteArray marker = prefix + QByteArray::number(paths.size()) + "|";
                const QString path = top + "/large";
                writeSynced(path, marker.repeated((3 << 20) / int(marker.size())));
                paths.push_back(QFile::encodeName(path));
            }
            ::sync();
            const size_t files = paths.size();
            ASSERT_EQ(markersIn(readImage(volume), prefix).size(), files) << "the scan cannot see the markers";

            if (stop) {
                // Seven passes, so the batch under way lasts; stopped once the
                // first batch has been told and the next one is being written.
                QProcess p;
                p.start(srmPath(), {"-fmrvM", top});
                ASSERT_TRUE(p.waitForStarted());
                QByteArray out, err;
                QElapsedTimer timer;
                timer.start();
                qsizetype toldAt = -1;
                while (timer.elapsed() < 120000 && p.state() == QProcess::Running) {
                    p.waitForReadyRead(20);
                    out += p.readAllStandardOutput();
                    err += p.readAllStandardError();
                    if (toldAt < 0 && out.contains("E\t"))
                        toldAt = err.size();
                    if (toldAt >= 0 && err.indexOf(": pass 2/7", toldAt) >= 0)
                        break;
                }
                ASSERT_GE(toldAt, 0) << "no batch was told before the run ended";
                if (const qint64 pid = p.processId(); pid > 0)
                    ::kill(pid_t(pid), SIGTERM);
                ASSERT_TRUE(p.waitForFinished(30000));
                out += p.readAllStandardOutput();
                // The device as the stop left it.
                const std::set<int> left = markersIn(readImage(volume), prefix);
                const auto records = recordsByPath(out);
                size_t gone = 0, overwritten = 0, untold = 0;
                for (size_t i = 0; i < files; ++i) {
                    const auto it = records.find(paths[i]);
                    const bool exists = QFile::exists(QFile::decodeName(paths[i]));
                    if (it == records.end()) {
                        ++untold;
                        EXPECT_TRUE(exists) << "gone without a word: " << paths[i].toStdString();
                        EXPECT_TRUE(left.count(int(i))) << "untold, yet touched: " << paths[i].toStdString();
                    } else if (it->second == "E") {
                        ++gone;
                        EXPECT_FALSE(exists) << paths[i].toStdString();
                        EXPECT_FALSE(left.count(int(i))) << "reported gone, on the device: " << paths[i].toStdString();
                    } else {
                        EXPECT_TRUE(exists) << "reported left, but gone: " << paths[i].toStdString();
                        EXPECT_TRUE(it->second.startsWith("Fstopped")) << it->second.toStdString();
                        if (it->second.contains("every pass is on the disk")) {
                            ++overwritten;
                            EXPECT_FALSE(left.count(int(i))) << "reported overwritten, on the device: "
                                                             << paths[i].toStdString();
                        }
                    }
                }
                EXPECT_GT(gone, 0u);
                EXPECT_GT(untold + (files - gone - overwritten), 0u) << "the stop came after the run";
                std::cout << "[ NOTE     ] " << shape.name << ": stopped with " << gone << " gone, " << overwritten
                          << " overwritten and left, " << untold << " untouched" << std::endl;
            }

            // A plainly unlinked file shows that the scan would see what is left.
            const QByteArray control = uniqueMarker("control");
            writeSynced(volume.mountPoint() + "/control", control.repeated(100));
            ASSERT_EQ(::unlink(QFile::encodeName(volume.mountPoint() + "/control").constData()), 0);

            const SrmRun r = runSrm({"-fsrM", top}, 300000);
            EXPECT_EQ(r.code, 0) << r.err.left(2000).toStdString();
            if (!stop) {
                EXPECT_EQ(size_t(r.out.count(QByteArray("E\t"))), files + size_t(shape.folders) + 1);
            }
            EXPECT_FALSE(QFile::exists(top));

            // What the device holds right after the run, and once the cache is written out.
            EXPECT_EQ(markersIn(readImage(volume), prefix).size(), 0u) << "before unmounting";
            ASSERT_TRUE(volume.unmount());
            const QByteArray raw = readImage(volume);
            EXPECT_TRUE(raw.contains(control)) << "the scan cannot see unlinked data";
            EXPECT_EQ(markersIn(raw, prefix).size(), 0u) << "after unmounting";
        }
    }
}

namespace {

// The journal commits an ext4 volume has made so far: every sync that finds
// something to write makes one.
long journalCommits(const LoopVolume& volume)
{
    QFile info(QStringLiteral("/proc/fs/jbd2/%1-8/info").arg(volume.kernelName()));
    if (!info.open(QIODevice::ReadOnly))
        return -1;
    return info.readLine().split(' ').value(0).toLong();
}

}  // namespace

// Folders of a hundred small files share their syncs: a few journal commits for
// the whole tree, not several for every folder.
TEST(SrmProof, SmallFoldersShareTheirSyncs)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume volume("ext4", 64);
    ASSERT_TRUE(volume.ok()) << volume.error().toStdString();
    ASSERT_TRUE(volume.mount()) << volume.error().toStdString();
    const QString top = volume.mountPoint() + "/top";
    ASSERT_EQ(smallFileTree(top, uniqueMarker("shared"), 30, 100).size(), 3000u);
    const long before = journalCommits(volume);
    if (before < 0)
        GTEST_SKIP() << "no journal statistics for " << volume.kernelName().toStdString();

    const SrmRun r = runSrm({"-fsr", top}, 300000);
    EXPECT_EQ(r.code, 0) << r.err.left(2000).toStdString();
    EXPECT_FALSE(QFile::exists(top));
    // Two batches (about a thousand files, then the rest): two commits each,
    // and the journal's own timer perhaps; one sync per folder alone would be 30.
    EXPECT_LT(journalCommits(volume) - before, 16);
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
        if (fs != QLatin1String("vfat")) {
            EXPECT_EQ(markersIn(readImage(volume), prefix).size(), 0u) << "before unmounting";
        }
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
    // Enough for a third batch (they grow), untouched when the first is told.
    const auto paths = smallFileTree(top, prefix, 80, 50);
    ASSERT_EQ(paths.size(), 4000u);
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
    EXPECT_LT(reported.size(), paths.size()) << "the run ended before the kill";
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
