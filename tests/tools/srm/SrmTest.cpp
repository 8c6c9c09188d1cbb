#include "SrmRun.h"
#include "TempTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool exists(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

}  // namespace

TEST(Srm, PassCountFollowsTheFlagsInAnyGrouping)
{
    struct Case
    {
        QStringList flags;
        int passes;
    };
    const Case cases[] = {
        {{"-fsvrz"}, 2}, {{"-fEvrz"}, 4}, {{"-fmvrz"}, 8}, {{"-fvrz"}, 36},
        {{"-fv"}, 35},   {{"-f", "-s", "-v"}, 1}, {{"-fv", "-zE", "--"}, 4},
    };
    TempTree tree;
    for (const auto& c : cases) {
        // Not a multiple of the block size, and more than one write chunk.
        const QString file = tree.file("victim", QByteArray(1500 * 1024 + 17, 'q'));
        const SrmRun r = runSrm(c.flags + QStringList{file});
        EXPECT_EQ(r.code, 0) << c.flags.join(' ').toStdString() << r.err.toStdString();
        EXPECT_EQ(r.passLines(), c.passes) << c.flags.join(' ').toStdString();
        EXPECT_TRUE(r.out.endsWith("victim: removed\n")) << r.out.toStdString();
        EXPECT_FALSE(exists(file));
    }
}

TEST(Srm, BadUsageTouchesNothing)
{
    TempTree tree;
    const QString file = tree.file("keep", "precious");
    for (const QStringList& args : {QStringList{"-fsq", file}, QStringList{"--force", file},
                                    QStringList{"-f", "-x", file}, QStringList{"-fs"}}) {
        const SrmRun r = runSrm(args);
        EXPECT_EQ(r.code, 64) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("usage:"));
        EXPECT_EQ(TempTree::read(file), "precious");
    }
}

TEST(Srm, MissingPathIsAnErrorOnlyWithoutForce)
{
    TempTree tree;
    const QString missing = tree / "not-there";
    SrmRun r = runSrm({"-s", missing});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("not-there"));
    EXPECT_EQ(runSrm({"-fs", missing}).code, 0);
    EXPECT_EQ(runSrm({"-fs", tree / "no-folder/below"}).code, 0);

    // The other paths are still removed; only the verdict differs.
    const QString a = tree.file("a"), b = tree.file("b");
    EXPECT_EQ(runSrm({"-s", a, missing}).code, 1);
    EXPECT_EQ(runSrm({"-fs", missing, b}).code, 0);
    EXPECT_FALSE(exists(a));
    EXPECT_FALSE(exists(b));
}

TEST(Srm, FolderNeedsRecursive)
{
    TempTree tree;
    const QString inside = tree.file("folder/inside", "stay");
    const SrmRun r = runSrm({"-fsz", tree / "folder"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("folder"));
    EXPECT_EQ(TempTree::read(inside), "stay");
}

TEST(Srm, RecursiveRemovesContentsThenFolder)
{
    TempTree tree;
    tree.file("top/a", QByteArray(70000, 'a'));
    tree.file("top/.hidden", "h");
    tree.file("top/empty-file", "");
    tree.folder("top/empty-folder");
    tree.file("top/one/two/three/deep", QByteArray(5000, 'd'));
    tree.file("top/one/b", "b");
    const SrmRun r = runSrm({"-fsvrz", tree / "top/"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_FALSE(exists(tree / "top"));
    // Every item is reported, and a folder only after what it held.
    const auto lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts).filter(": removed");
    EXPECT_EQ(lines.size(), 10);
    EXPECT_LT(lines.indexOf(QRegularExpression(".*/three/deep: removed")),
              lines.indexOf(QRegularExpression(".*/one/two/three: removed")));
    EXPECT_TRUE(lines.last().endsWith("top/: removed") || lines.last().endsWith("top: removed"));
}

TEST(Srm, VeryDeepTreeWithFewFileDescriptors)
{
    TempTree tree;
    // On tmpfs where we may: ten thousand folder removals on a busy disk's journal
    // would only measure the disk.
    const ScopedMount memory("tv-srm-deep", tree.path(), "tmpfs", 0);
    const QString top = tree.folder("deep");
    int fd = ::open(QFile::encodeName(top).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        ASSERT_GE(fd, 0);
    }
    const int f = ::openat(fd, "leaf", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(f, "leaf", 4), 4);
    ::close(f);
    ::close(fd);

    // Far fewer descriptors than levels: the walk must not hold one per level.
    const SrmRun r = runSrm({"-fsr", top}, 60000, [] {
        const rlimit lim{128, 128};
        ::setrlimit(RLIMIT_NOFILE, &lim);
    });
    EXPECT_EQ(r.code, 0) << r.err.left(500).toStdString();
    EXPECT_FALSE(exists(top));
}

TEST(Srm, LinksAreRemovedNeverFollowed)
{
    TempTree tree;
    const QString target = tree.file("target", "target data");
    const QString targetFolder = tree.folder("target-folder");
    const QString inFolder = tree.file("target-folder/kept", "kept");
    const QString link = tree.link("link", target);
    tree.link("tree/to-file", target);
    tree.link("tree/to-folder", targetFolder);
    tree.link("tree/dangling", tree / "nowhere");

    EXPECT_EQ(runSrm({"-fsz", link}).code, 0);
    EXPECT_FALSE(exists(link));
    // A trailing slash names the link too, not the folder it points to.
    const QString folderLink = tree.link("folder-link", targetFolder);
    EXPECT_EQ(runSrm({"-fsrz", folderLink + "/"}).code, 0);
    EXPECT_FALSE(exists(folderLink));
    EXPECT_EQ(runSrm({"-fsrz", tree / "tree"}).code, 0);
    EXPECT_FALSE(exists(tree / "tree"));

    EXPECT_EQ(TempTree::read(target), "target data");
    EXPECT_EQ(TempTree::read(inFolder), "kept");
}

TEST(Srm, FileWithOtherNamesOrWritersIsNotErased)
{
    TempTree tree;
    const QString first = tree.file("first", "shared data");
    const QString second = tree / "sub/second";
    QDir().mkpath(tree / "sub");
    ASSERT_EQ(::link(QFile::encodeName(first).constData(), QFile::encodeName(second).constData()), 0);

    // Neither name alone can erase data the other still shows; a tree holding
    // one keeps its folder too.
    SrmRun r = runSrm({"-fsvrzM", first, tree / "sub"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.passLines(), 0);
    EXPECT_TRUE(r.err.contains("hard links")) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("F\t" + QFile::encodeName(first) + "\t")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("E\t")) << r.out.toStdString();
    EXPECT_EQ(TempTree::read(first), "shared data");
    EXPECT_EQ(TempTree::read(second), "shared data");

    // A writer could put the data back after the overwrite.
    ASSERT_EQ(::unlink(QFile::encodeName(second).constData()), 0);
    const int writer = ::open(QFile::encodeName(first).constData(), O_WRONLY | O_APPEND);
    ASSERT_GE(writer, 0);
    r = runSrm({"-fsz", first});
    ::close(writer);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("open for writing")) << r.err.toStdString();
    EXPECT_EQ(TempTree::read(first), "shared data");

    // A reader is no obstacle, and the last name left is shredded normally.
    const int reader = ::open(QFile::encodeName(first).constData(), O_RDONLY);
    r = runSrm({"-fsvz", first});
    ::close(reader);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.passLines(), 2);
    EXPECT_FALSE(exists(first));
}

TEST(Srm, SpecialFilesAreUnlinkedNeverOpened)
{
    TempTree tree;
    const QByteArray fifo = QFile::encodeName(tree / "fifo");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
    QDir().mkpath(tree / "t");
    ASSERT_EQ(::mkfifo(QFile::encodeName(tree / "t/fifo").constData(), 0644), 0);

    // Opening a FIFO with no writer would block forever.
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(runSrm({"-fsvrz", tree / "fifo"}, 10000).code, 0);
    EXPECT_EQ(runSrm({"-fsvrz", tree / "t"}, 10000).code, 0);
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_FALSE(exists(tree / "fifo"));
    EXPECT_FALSE(exists(tree / "t"));
}

TEST(Srm, TerminateStopsPromptlyAndLeavesTheFile)
{
    TempTree tree;
    const QString file = tree / "big";
    const qint64 size = (48 << 20) + 123;
    writeSynced(file, QByteArray(size, 'b'));

    QProcess p;
    p.start(srmPath(), {"-fvrz", file});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (!out.contains("pass 3/36") && timer.elapsed() < 30000 && p.state() == QProcess::Running) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("pass 3/36")) << out.toStdString();
    timer.restart();
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(5000));
    // Within a chunk's write and the sync under way, not after the remaining 33 passes.
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_TRUE(p.exitStatus() == QProcess::CrashExit || p.exitCode() != 0);
    EXPECT_TRUE(QFileInfo::exists(file));
    // Not grown by the passes' rounding up to the block.
    EXPECT_EQ(QFileInfo(file).size(), size);
    EXPECT_TRUE(p.readAllStandardError().contains("stopped"));
}
