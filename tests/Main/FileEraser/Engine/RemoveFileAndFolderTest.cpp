#include "FakeTool.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "Main/FileEraser/Engine/FolderExpansion.h"
#include "Main/FileEraser/Engine/RemoveFileAndFolder.h"
#include "TempTree.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include <QDir>

#include <algorithm>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Records what the engine tells its owner.
struct Recorder : RemoveFileAndFolderDelegate
{
    std::vector<float> percents;
    QStringList paths;
    QList<int> indexes;
    int fails = 0;
    bool ended = false;
    FileObjList processed;

    void removeProgress(float percent, const QString& path, int index) override
    {
        percents.push_back(percent);
        paths << path;
        indexes << index;
    }
    void haveFailEraser() override { ++fails; }
    void removeObjEnd(const FileObjList& list) override
    {
        ended = true;
        processed = list;
    }

    bool waitForEnd(int ms = 30000)  // the stand-in tool is a python script: slow to start on a busy machine
    {
        QElapsedTimer t;
        t.start();
        while (!ended && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return ended;
    }
};

// A stand-in for srm that removes what it is given and reports each item.
const QString kRemovingTool = FakeTool::srmWithRecords();

QString identityOf(const QString& path)
{
    struct stat st{};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("-");
    return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

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
        // The level's flags, the records and identity options, then the path
        // after its identity (none known for an item made by hand).
        EXPECT_EQ(srm.log(), QString("%1 -M -I -- - %2\n").arg(flags, file)) << "level " << level;
        EXPECT_EQ(rec.processed.first()->failStr, "Success");
    }
    platform::setUserDefaultInteger(kEraserTimesKey, 1);
}

TEST(RemoveFileAndFolder, ProgressCountsEveryItemThatEndsAndNamesTheFileAtWork)
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
        // The first report comes before any item, the last one counts them all.
        ASSERT_FALSE(rec.percents.empty());
        EXPECT_EQ(rec.percents.front(), n == 1 ? 80.0f : 0.0f);
        EXPECT_EQ(rec.indexes.front(), 0);
        EXPECT_EQ(rec.percents.back(), 100.0f);
        EXPECT_EQ(rec.indexes.back(), n) << n << " items";
        EXPECT_TRUE(std::is_sorted(rec.indexes.begin(), rec.indexes.end()));
        // The label only moves forward through the items as the tool reaches
        // them (lines that arrive together show the last), and ends on the last.
        qsizetype at = 0;
        for (const QString& p : rec.paths) {
            while (at < items.size() && items.at(at)->url != p)
                ++at;
            EXPECT_LT(at, items.size()) << p.toStdString() << " named out of order";
        }
        EXPECT_EQ(rec.paths.back(), items.last()->url);
        EXPECT_EQ(rec.processed.size(), n);
        EXPECT_EQ(rec.fails, 0);
    }
}

TEST(RemoveFileAndFolder, FoldersBundlesAndEmptyFilesTakeTheirRealResult)
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
    // The folder named like a bundle is expanded as the screen expands it.
    engine.benginToTraskWithArr(FileObjList{item(emptyDir, true), item(fullDir, true)} +
                                FolderExpansion::buildRunList({item(bundle, true)}) +
                                FileObjList{item(emptyFile), grownItem});
    ASSERT_TRUE(rec.waitForEnd());

    ASSERT_EQ(rec.processed.size(), 7);
    EXPECT_EQ(rec.processed[0]->failStr, "Success");
    EXPECT_FALSE(QFileInfo::exists(emptyDir));
    EXPECT_EQ(rec.processed[1]->failStr, "Fail");  // has entries that were never listed: stays
    EXPECT_TRUE(QFileInfo::exists(fullDir + "/keep"));
    // Nothing is special about ".app": shredded entry by entry, by the tool.
    for (int i : {2, 3, 4})
        EXPECT_EQ(rec.processed[i]->failStr, "Success") << rec.processed[i]->url.toStdString();
    EXPECT_EQ(rec.processed[4]->url, bundle);
    EXPECT_FALSE(QFileInfo::exists(bundle));
    EXPECT_EQ(rec.processed[5]->failStr, "Success");
    EXPECT_FALSE(QFileInfo::exists(emptyFile));
    EXPECT_EQ(rec.processed[6]->failStr, "Success");
    EXPECT_EQ(rec.fails, 1);
    // Empty items go to the tool too, which will not reach through a planted
    // link; the folder that grew since it was listed never does.
    const QStringList calls = srm.log().split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(calls, QStringList({"-fsvrz -M -I -- - " + emptyDir, "-fsvrz -M -I -- " + identityOf(bundle) + " " + bundle,
                                  "-fsvrz -M -I -- - " + emptyFile + " - " + grown}));
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
    FakeTool srm("srm", "sleep 0.5\n" + FakeTool::srmWithRecords());
    Recorder rec;
    RemoveFileAndFolder engine(srm.path());
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr({item(tree.file("a", "1")), item(tree.file("b", "2"))});
    QProcess other;
    other.start("true");
    other.waitForFinished();
    QCoreApplication::processEvents();
    EXPECT_EQ(rec.indexes, QList<int>{0});  // still on the first item
    ASSERT_TRUE(rec.waitForEnd());
    EXPECT_EQ(rec.indexes.back(), 2);
}

TEST(RemoveFileAndFolder, LongRunsOfItemsJudgedWithoutTheToolDoNotDeepenTheStack)
{
    TempTree tree;
    FileObjList items;
    for (int i = 0; i < 20000; ++i) {
        auto gone = item(tree / QString("gone%1").arg(i));
        gone->size = 10;
        items << gone;
    }
    Recorder rec;
    RemoveFileAndFolder engine(tree / "unused-srm");
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr(items);
    ASSERT_TRUE(rec.waitForEnd());
    EXPECT_EQ(rec.processed.size(), 20000);
    EXPECT_EQ(rec.processed.last()->failStr, "Fail");
    EXPECT_EQ(rec.fails, 20000);
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
    ASSERT_TRUE(rec.waitForEnd());
    EXPECT_TRUE(rec.processed.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(srm.log().isEmpty());
}

TEST(RemoveFileAndFolder, AFolderGoesToOneToolProcessAndEachEntryTakesTheToolsWord)
{
    TempTree tree;
    FakeTool srm("srm", kRemovingTool);
    tree.file("top/a/one", "1");
    tree.file("top/a/two", "2");
    tree.file("top/keep-me", "3");       // the tool leaves it and says so
    tree.file("top/silent-one", "4");    // the tool removes it but never says so
    for (int i = 0; i < 50; ++i)
        tree.file(QString("top/many/f%1").arg(i), "x");
    const FileObjList run = FolderExpansion::buildRunList({item(tree / "top", true)});
    Recorder rec;
    RemoveFileAndFolder engine(srm.path());
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr(run);
    ASSERT_TRUE(rec.waitForEnd());

    // One process, the folder whole (an item made by hand has no identity).
    EXPECT_EQ(srm.log(), "-fsvrz -M -I -- - " + tree / "top" + "\n");
    EXPECT_EQ(rec.processed.size(), run.size());  // every listed item had its turn
    for (const FileObjPtr& i : run) {
        const bool shouldFail = i->name == "keep-me" || i->name == "silent-one" || i->name == "top";
        EXPECT_EQ(i->failStr, shouldFail ? Outcome::fail : Outcome::success) << i->url.toStdString();
    }
    EXPECT_EQ(rec.fails, 3);
    // Progress counts every item that ends, the last one too.
    EXPECT_TRUE(std::is_sorted(rec.percents.begin(), rec.percents.end()));
    EXPECT_EQ(rec.percents.back(), 100.0f);
    EXPECT_EQ(rec.indexes.back(), run.size());
}

TEST(RemoveFileAndFolder, RunsOfFilesShareOneToolProcess)
{
    TempTree tree;
    FakeTool srm("srm", kRemovingTool);
    FileObjList items;
    for (int i = 0; i < 300; ++i)
        items << item(tree.file(QString("f%1").arg(i), "data"));
    Recorder rec;
    RemoveFileAndFolder engine(srm.path());
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr(items);
    ASSERT_TRUE(rec.waitForEnd());
    EXPECT_EQ(srm.log().count('\n'), 1);
    EXPECT_EQ(rec.fails, 0);
    EXPECT_EQ(rec.processed.size(), 300);
    EXPECT_EQ(rec.indexes.back(), 300);
}

TEST(RemoveFileAndFolder, NamesTheLocaleCannotDecodeAreErasedByTheirOwnBytes)
{
    TempTree tree;
    FakeTool srm("srm", kRemovingTool);
    const QByteArray folder = QFile::encodeName(tree.folder("twins"));
    const QByteArray raw = folder + "/x\xff";
    const QByteArray replaced = folder + "/x\xef\xbf\xbd";  // x followed by U+FFFD
    for (const QByteArray& p : {raw, replaced}) {
        QFile f(QFile::decodeName(p));
        const int fd = ::open(p.constData(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "secret", 6), 6);
        ::close(fd);
    }
    const FileObjList run = FolderExpansion::buildRunList({item(QFile::decodeName(folder), true)});
    ASSERT_EQ(run.size(), 3);
    Recorder rec;
    RemoveFileAndFolder engine(srm.path());
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr(run);
    ASSERT_TRUE(rec.waitForEnd());
    struct stat st{};
    EXPECT_NE(::lstat(raw.constData(), &st), 0);
    EXPECT_NE(::lstat(replaced.constData(), &st), 0);
    for (const FileObjPtr& i : run)
        EXPECT_EQ(i->failStr, Outcome::success);

    // A listed item whose path cannot be handed over as it is fails; its
    // twin, which the lossy text would name, is left alone.
    const QByteArray again = folder + "/y\xff";
    const QByteArray twin = folder + "/y\xef\xbf\xbd";
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(folder)));
    for (const QByteArray& p : {again, twin}) {
        const int fd = ::open(p.constData(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "secret", 6), 6);
        ::close(fd);
    }
    auto listed = item(QFile::decodeName(again));
    listed->urlBytes = again;
    listed->size = 6;
    Recorder rec2;
    RemoveFileAndFolder engine2(srm.path());
    engine2.setDelegate(&rec2);
    engine2.benginToTraskWithArr({listed});
    ASSERT_TRUE(rec2.waitForEnd());
    EXPECT_EQ(listed->failStr, Outcome::fail);
    EXPECT_EQ(rec2.fails, 1);
    EXPECT_EQ(::lstat(twin.constData(), &st), 0);
    EXPECT_EQ(::lstat(again.constData(), &st), 0);
    for (const QByteArray& p : {raw, replaced, again, twin})
        ::unlink(p.constData());  // the temporary folder's own clean-up cannot name them
}

TEST(RemoveFileAndFolder, WhatCannotBeRemovedOrIsGoneIsReportedAsAFailure)
{
    TempTree tree;
    FakeTool srm("srm", kRemovingTool);
    // Dropped, then gone before its turn: with a size (tool) and without.
    auto vanished = item(tree.file("vanished", "data"));
    auto vanishedEmpty = item(tree.file("vanished-empty", ""));
    QFile::remove(vanished->url);
    QFile::remove(vanishedEmpty->url);
    Recorder rec;
    RemoveFileAndFolder engine(srm.path());
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr({vanished, vanishedEmpty});
    ASSERT_TRUE(rec.waitForEnd());
    EXPECT_EQ(vanished->failStr, Outcome::fail);
    EXPECT_EQ(vanishedEmpty->failStr, Outcome::fail);
    EXPECT_EQ(rec.fails, 2);  // each failure reaches the owner, empty files too
    EXPECT_TRUE(srm.log().isEmpty());
}

TEST(RemoveFileAndFolder, AFolderTickedInsideAnotherTickedFolderIsErasedOnceAndSucceeds)
{
    TempTree tree;
    FakeTool srm("srm", kRemovingTool);
    tree.file("a/b/inner", "1");
    tree.file("a/outer", "2");
    tree.file("a/lone", "3");
    const QString other = tree.file("other", "4");
    // A file and the inner folder listed first, then the folder holding
    // them: their entries are listed twice. The file goes first, with the
    // other file; the folder's own tool never sees it again.
    const FileObjList run = FolderExpansion::buildRunList(
        {item(tree / "a/lone"), item(other), item(tree / "a/b", true), item(tree / "a", true)});
    Recorder rec;
    RemoveFileAndFolder engine(srm.path());
    engine.setDelegate(&rec);
    engine.benginToTraskWithArr(run);
    ASSERT_TRUE(rec.waitForEnd());
    EXPECT_EQ(srm.log().count('\n'), 2);  // the file, then the folder
    EXPECT_FALSE(QFileInfo::exists(tree / "a"));
    for (const FileObjPtr& i : run)
        EXPECT_EQ(i->failStr, Outcome::success) << i->url.toStdString();
    EXPECT_EQ(rec.fails, 0);
}
