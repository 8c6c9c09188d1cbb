#include "FakeTool.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "Main/FileEraser/Engine/RemoveFileAndFolder.h"
#include "TempTree.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include <sys/mount.h>

namespace {

// Records what the engine tells its owner.
struct Recorder : RemoveFileAndFolderDelegate
{
    std::vector<float> percents;
    QStringList paths;
    int fails = 0;
    bool ended = false;
    FileObjList processed;

    void removeProgress(float percent, const QString& path, int) override
    {
        percents.push_back(percent);
        paths << path;
    }
    void haveFailEraser() override { ++fails; }
    void removeObjEnd(const FileObjList& list) override
    {
        ended = true;
        processed = list;
    }

    bool waitForEnd(int ms = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (!ended && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return ended;
    }
};

// A stand-in for srm: logs its arguments, then removes the path.
const char* kRemovingTool = R"(echo "$1 $2" >> "$LOG"; rm -f -- "$2")";

FileObjPtr item(const QString& path, bool isDir = false)
{
    auto f = std::make_shared<FileObj>();
    f->url = path;
    f->name = QFileInfo(path).fileName();
    f->isDir = isDir;
    f->isSelect = true;
    f->size = QFileInfo(path).isFile() ? QFileInfo(path).size() : 0;
    return f;
}

}  // namespace

TEST(RemoveFileAndFolder, FlagStringFollowsTheStoredLevel)
{
    const std::pair<int, const char*> cases[] = {{1, "-fsvrz"}, {2, "-fsvrz"}, {0, "-fsvrz"}, {-5, "-fsvrz"},
                                                 {3, "-fEvrz"}, {7, "-fmvrz"}, {35, "-fvrz"}};
    for (const auto& [level, flags] : cases) {
        platform::setUserDefaultInteger(kEraserTimesKey, level);
        EXPECT_GE(RemoveFileAndFolder::getEraserTimes(), 1);
        TempTree tree;
        FakeTool srm("srm", kRemovingTool);
        const QString file = tree.file("secret.txt", "data");
        Recorder rec;
        RemoveFileAndFolder engine(srm.path());
        engine.setDelegate(&rec);
        engine.benginToTraskWithArr({item(file)});
        ASSERT_TRUE(rec.waitForEnd());
        // Exactly two arguments: the flags and the path.
        EXPECT_EQ(srm.log(), QString("%1 %2\n").arg(flags, file)) << "level " << level;
        EXPECT_EQ(rec.processed.first()->failStr, "Success");
    }
    platform::setUserDefaultInteger(kEraserTimesKey, 1);
}

TEST(RemoveFileAndFolder, ProgressReportsItemsBeforeTheirTurnAndNeverHundred)
{
    FakeTool srm("srm", kRemovingTool);
    for (int n : {1, 3, 4}) {
        TempTree tree;
        FileObjList items;
        for (int i = 0; i < n; ++i)
            items << item(tree.file(QString("f%1").arg(i), "data"));
        Recorder rec;
        RemoveFileAndFolder engine(srm.path());
        engine.setDelegate(&rec);
        engine.benginToTraskWithArr(items);
        ASSERT_TRUE(rec.waitForEnd());
        const std::vector<float> expected = n == 1 ? std::vector<float>{80}
                                          : n == 3 ? std::vector<float>{0, 33, 66}
                                                   : std::vector<float>{0, 25, 50, 75};
        EXPECT_EQ(rec.percents, expected);
        EXPECT_EQ(rec.processed.size(), n);
        EXPECT_EQ(rec.fails, 0);
    }
}

TEST(RemoveFileAndFolder, FoldersBundlesAndEmptyFilesAreHandledDirectlyWithTheirRealResult)
{
    TempTree tree;
    FakeTool srm("srm", kRemovingTool);
    const QString emptyDir = tree.folder("empty");
    const QString fullDir = tree.folder("full");
    tree.file("full/keep", "x");
    const QString bundle = tree.folder("Tool.app");
    tree.file("Tool.app/Contents/bin", "payload");
    const QString emptyFile = tree.file("zero", "");
    // Listed as empty, but it grew since: it must be overwritten, not just unlinked.
    const QString grown = tree.file("grown", "");
    auto grownItem = item(grown);
    tree.file("grown", "now it has data");

    Recorder rec;
    RemoveFileAndFolder engine(srm.path());
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr({item(emptyDir, true), item(fullDir, true), item(bundle, true), item(emptyFile), grownItem});
    ASSERT_TRUE(rec.waitForEnd());

    ASSERT_EQ(rec.processed.size(), 5);
    EXPECT_EQ(rec.processed[0]->failStr, "Success");
    EXPECT_FALSE(QFileInfo::exists(emptyDir));
    EXPECT_EQ(rec.processed[1]->failStr, "Fail");  // still has entries: stays
    EXPECT_TRUE(QFileInfo::exists(fullDir + "/keep"));
    EXPECT_EQ(rec.processed[2]->failStr, "Success");  // a bundle goes whole
    EXPECT_FALSE(QFileInfo::exists(bundle));
    EXPECT_EQ(rec.processed[3]->failStr, "Success");
    EXPECT_FALSE(QFileInfo::exists(emptyFile));
    EXPECT_EQ(rec.processed[4]->failStr, "Success");
    EXPECT_EQ(rec.fails, 1);
    EXPECT_EQ(srm.log().count('\n'), 1);  // only the grown file went to the tool
    EXPECT_TRUE(srm.log().contains(grown));
}

TEST(RemoveFileAndFolder, MountedVolumeUnderAFolderItemIsLeftAlone)
{
    TempTree tree;
    FakeTool srm("srm", kRemovingTool);
    // Named like a bundle and empty underneath: either rule alone would remove it directly.
    const QString bundle = tree.folder("Volume.app");
    const QString empty = tree.folder("empty");
    if (::mount("tmpfs", bundle.toLocal8Bit().constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    if (::mount("tmpfs", empty.toLocal8Bit().constData(), "tmpfs", 0, "size=1m") != 0) {
        ::umount2(bundle.toLocal8Bit().constData(), MNT_DETACH);
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    const QString kept = tree.file("Volume.app/on-the-volume", "data");
    Recorder rec;
    RemoveFileAndFolder engine(srm.path());
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr({item(bundle, true), item(empty, true)});
    const bool ended = rec.waitForEnd();
    const bool keptThere = QFileInfo::exists(kept);
    ::umount2(bundle.toLocal8Bit().constData(), MNT_DETACH);
    ::umount2(empty.toLocal8Bit().constData(), MNT_DETACH);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(keptThere);
    ASSERT_EQ(rec.processed.size(), 2);
    EXPECT_EQ(rec.processed[0]->failStr, "Fail");
    EXPECT_EQ(rec.processed[1]->failStr, "Fail");
    EXPECT_EQ(rec.fails, 2);
}

TEST(RemoveFileAndFolder, ItemIsJudgedWhenTheToolHasEnded)
{
    TempTree tree;
    FakeTool refusing("srm", R"(echo "$2" >> "$LOG"; exit 1)");
    FakeTool lying("srm", R"(exit 0)");  // claims success, removes nothing
    for (const FakeTool* tool : {&refusing, &lying}) {
        const QString file = tree.file("kept", "data");
        Recorder rec;
        RemoveFileAndFolder engine(tool->path());
        engine.setDelegate(&rec);
        engine.benginToTraskWithArr({item(file)});
        ASSERT_TRUE(rec.waitForEnd());
        EXPECT_EQ(rec.processed.first()->failStr, "Fail");
        EXPECT_EQ(rec.fails, 1);
        EXPECT_TRUE(QFileInfo::exists(file));
    }
}

TEST(RemoveFileAndFolder, MissingToolFailsItsItemsAndTheRunStillEnds)
{
    TempTree tree;
    const QString a = tree.file("a", "data");
    const QString b = tree.file("b", "data");
    Recorder rec;
    RemoveFileAndFolder engine(tree / "no-such-srm");
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr({item(a), item(b)});
    ASSERT_TRUE(rec.waitForEnd());
    ASSERT_EQ(rec.processed.size(), 2);
    EXPECT_EQ(rec.processed[0]->failStr, "Fail");
    EXPECT_EQ(rec.processed[1]->failStr, "Fail");
    EXPECT_EQ(rec.fails, 2);
    EXPECT_TRUE(QFileInfo::exists(a));
}

TEST(RemoveFileAndFolder, CancelStopsTheToolAndEndsWithTheItemsSoFar)
{
    TempTree tree;
    FakeTool slow("srm", R"(echo started >> "$LOG"; exec sleep 30)");
    const QString a = tree.file("a", "data");
    const QString b = tree.file("b", "data");
    Recorder rec;
    RemoveFileAndFolder engine(slow.path());
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr({item(a), item(b)});
    QElapsedTimer t;
    t.start();
    while (!slow.log().contains("started") && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    engine.isCancel();
    ASSERT_TRUE(rec.waitForEnd(5000));
    EXPECT_LT(t.elapsed(), 5000);
    ASSERT_EQ(rec.processed.size(), 1);
    EXPECT_EQ(rec.processed[0]->url, a);
    EXPECT_EQ(rec.processed[0]->failStr, "Fail");
    EXPECT_TRUE(QFileInfo::exists(b));
}

TEST(RemoveFileAndFolder, AnotherChildProcessEndingDoesNotAdvanceTheRun)
{
    TempTree tree;
    FakeTool srm("srm", R"(sleep 0.5; rm -f -- "$2")");
    Recorder rec;
    RemoveFileAndFolder engine(srm.path());
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr({item(tree.file("a", "1")), item(tree.file("b", "2"))});
    QProcess other;
    other.start("true");
    other.waitForFinished();
    QCoreApplication::processEvents();
    EXPECT_EQ(rec.percents.size(), 1u);  // still on the first item
    ASSERT_TRUE(rec.waitForEnd());
    EXPECT_EQ(rec.percents.size(), 2u);
}

TEST(RemoveFileAndFolder, LongRunsOfDirectItemsDoNotDeepenTheStack)
{
    TempTree tree;
    FileObjList items;
    for (int i = 0; i < 20000; ++i)
        items << item(tree.file(QString("e%1").arg(i), ""));
    Recorder rec;
    RemoveFileAndFolder engine(tree / "unused-srm");
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr(items);
    ASSERT_TRUE(rec.ended);  // all direct: ends without returning to the event loop
    EXPECT_EQ(rec.processed.size(), 20000);
    EXPECT_EQ(rec.processed.last()->failStr, "Success");
}

TEST(RemoveFileAndFolder, WriteProbeGrantsOwnerAccessWhenDenied)
{
    TempTree tree;
    const QString f = tree.file("ro", "x");
    QFile::setPermissions(f, QFileDevice::ReadOwner);
    EXPECT_TRUE(RemoveFileAndFolder::checkPermissions(f));
    EXPECT_TRUE(RemoveFileAndFolder::checkPermissions(tree / "missing"));
}

TEST(RemoveFileAndFolder, CancelBeforeTheStartErasesNothing)
{
    TempTree tree;
    FakeTool srm("srm", kRemovingTool);
    const QString file = tree.file("a", "data");
    Recorder rec;
    RemoveFileAndFolder engine(srm.path());
    engine.setDelegate(&rec);
    engine.isCancel();
    engine.benginToTraskWithArr({item(file)});
    ASSERT_TRUE(rec.ended);
    EXPECT_TRUE(rec.processed.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(srm.log().isEmpty());
}
