#include "Comm/PublicUtilities.h"
#include "FakeTool.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "Main/FileEraser/FileEraserOpenPanel.h"
#include "Main/FileEraser/FileEraserViewController.h"
#include "TempTree.h"
#include "Main/Tools/CustomTableView.h"
#include "Main/Tools/ListKeys.h"
#include "PopWindow/FocusReturn.h"
#include "SetEraserLevel/DoDataBase.h"
#include "ToolCon/TextImageButton.h"
#include "platform/InvokingUser.h"
#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <QTextDocument>
#include <QFileInfo>
#include <QSignalSpy>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Host : MainWindowToolHost
{
    QList<bool> calls;
    void canChangeType(bool canChange) override { calls << canChange; }
};

// A stand-in for srm, for what the real one cannot be made to do as root:
// it leaves paths naming "keep" in place and sleeps on "slow".
const QString kSrmScript = FakeTool::srmWithRecords();

class ScreenTest : public ::testing::Test
{
protected:
    ScopedLayout layout;
    FakeTool fakeSrm{"srm", kSrmScript};
    const QString kSrm = QStringLiteral(TV_STAGE_DIR) + "/libexec/tarnwick-vantoly/srm";
    TempTree state;
    DoDataBase store{state / "DataBase.db"};
    Host host;
    FileEraserViewController screen{nullptr, &store};

    void SetUp() override
    {
        platform::setUserDefaultInteger(kEraserTimesKey, 1);
        screen.setToolPath(kSrm);
        screen.setSuperDelegate(&host);
    }

    // The one recorded run as "path=result" rows, and its method.
    QStringList historyRows(QString* method = nullptr)
    {
        bool ok = false;
        const HistoryRuns runs = store.getAllData(&ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(runs.size(), 1);
        QStringList rows;
        for (const HistoryRow& row : runs.isEmpty() ? HistoryRun() : runs.first()) {
            if (row.isHeader())
                continue;
            rows << row.items + "=" + row.result;
            if (method)
                *method = row.algorithm;
        }
        return rows;
    }

    template <typename T = QWidget>
    T* child(const char* name)
    {
        T* w = screen.findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    QLabel* label(const char* name) { return child<QLabel>(name); }
    QAbstractButton* button(const char* name) { return child<QAbstractButton>(name); }

    bool runToEnd()
    {
        QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
        screen.makeSureToEraserSelectFiles();
        return ended.wait(20000);
    }
};

// A file of `mib` MiB of `fill`, on the disk: large enough that srm spends
// a while overwriting it.
void writeBig(const QString& path, int mib, char fill)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QByteArray chunk(1 << 20, fill);
    for (int i = 0; i < mib; ++i)
        ASSERT_EQ(f.write(chunk), chunk.size());
    f.flush();
    ASSERT_EQ(::fsync(f.handle()), 0);
}

// True once the first block of `path` no longer holds `fill`: srm is on it.
bool overwriteStarted(const QString& path, char fill)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return true;  // already gone
    const QByteArray head = f.read(4096);
    return head.size() < 4096 || head.count(fill) != head.size();
}

}  // namespace

TEST_F(ScreenTest, TickLabelsAndEraseNowFollowTheTicks)
{
    TempTree tree;
    auto* eraseNow = child<TextImageButton>("eraserFileButton");
    auto* selectAll = child<TextImageButton>("selectAllButton");
    EXPECT_FALSE(eraseNow->buttonEnabled());
    screen.addChosenPaths({tree.file("a"), tree.file("b"), tree.file("c")});
    EXPECT_TRUE(eraseNow->buttonEnabled());
    EXPECT_EQ(selectAll->label()->text(), "Unselect all");

    screen.selectListButton(0);
    EXPECT_TRUE(label("selectCountLabel")->text().contains("font-weight:bold; font-size:14px\">2</span>/3 Items"))
        << label("selectCountLabel")->text().toStdString();
    EXPECT_EQ(selectAll->label()->text(), "Select all");

    screen.selectListButton(1);
    screen.selectListButton(2);
    EXPECT_FALSE(eraseNow->buttonEnabled());
    EXPECT_EQ(label("selectCountLabel")->text(), "Total: 3 Items");

    screen.setAllSelectOrNoSelect();
    EXPECT_TRUE(eraseNow->buttonEnabled());
    screen.emptyListButtonAction();
    EXPECT_FALSE(eraseNow->buttonEnabled());
    EXPECT_EQ(label("selectCountLabel")->text(), "Total: 0 Item");
}

TEST_F(ScreenTest, ErasesATreeWithoutFollowingLinksAndRecordsWhatHappened)
{
    TempTree outside;
    const QString target = outside.file("target.txt", "keep me");
    TempTree tree;
    const QString top = tree.folder("A");
    tree.file("A/B/C/deep.txt", "deep");
    tree.file("A/B/y.txt", "y");
    tree.file("A/empty.txt", "");
    const QString readOnly = tree.file("A/ro.txt", "read only");
    QFile::setPermissions(readOnly, QFile::ReadOwner);
    tree.link("A/B/link", target);
    tree.link("A/dirlink", outside.path());
    const QString unticked = tree.file("unticked.txt");

    screen.addChosenPaths({top, unticked});
    screen.selectListButton(1);
    ASSERT_TRUE(runToEnd());

    EXPECT_FALSE(QFileInfo::exists(top));
    EXPECT_EQ(TempTree::read(target), "keep me");
    EXPECT_TRUE(QFileInfo::exists(outside.path()));
    QString method;
    EXPECT_EQ(historyRows(&method), QStringList{top + "=Erased"});
    EXPECT_EQ(method, "HMG Infosec Standard 5");
    EXPECT_TRUE(screen.lastRunRecorded());
    EXPECT_EQ(PublicUtilities::getUpDataHistoryStr("WipeFileHistory"), "1");
    EXPECT_FALSE(screen.isFailedEraser());
    EXPECT_FALSE(child("sussView")->isHidden());
    EXPECT_EQ(host.calls, (QList<bool>{false, true}));

    // The unticked item stays until the end page is left.
    ASSERT_EQ(screen.list().valueArr.size(), 1);
    EXPECT_EQ(screen.list().valueArr[0]->url, unticked);
    screen.sussEndBackToMainView();
    EXPECT_TRUE(screen.list().valueArr.isEmpty());
}

TEST_F(ScreenTest, AnItemThatSurvivesShowsTheFailurePage)
{
    FakeTool srm{"srm", kSrmScript};
    screen.setToolPath(srm.path());
    TempTree tree;
    const QString kept = tree.file("keep.txt", "data");
    const QString gone = tree.file("gone.txt", "data");
    screen.addChosenPaths({kept, gone});
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(historyRows(), (QStringList{kept + "=Failed", gone + "=Erased"}));
    EXPECT_FALSE(child("failView")->isHidden());
    EXPECT_TRUE(label("failNode")->isHidden());
}

TEST_F(ScreenTest, CancelRecordsEveryTickedItemByWhetherItIsStillThere)
{
    screen.setToolPath(fakeSrm.path());
    TempTree tree;
    const QString first = tree.file("first.txt", "1");
    const QString slow = tree.file("slow.bin", QByteArray(4096, 's'));  // the stand-in sleeps on it
    const QString later = tree.file("later.txt", "3");
    const QString unticked = tree.file("unticked.txt", "4");
    screen.addChosenPaths({first, slow, later, unticked});
    screen.selectListButton(3);

    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    screen.makeSureToEraserSelectFiles();
    // srm reports the first file's end and the next file's start on lines of
    // their own, which a loaded machine may hand over in two reads.
    ASSERT_TRUE(QTest::qWaitFor([&] { return label("eraserPathLabel")->text() == slow; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return label("eraserRoundLabel")->text().startsWith("1 of 3"); }, 2000))
        << label("eraserRoundLabel")->text().toStdString();
    screen.cancelShred();
    ASSERT_TRUE(ended.wait(10000));

    // Every ticked item is in the record, the ones never reached as "Failed".
    EXPECT_EQ(historyRows(), (QStringList{first + "=Erased", slow + "=Failed", later + "=Failed"}));
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_TRUE(QFileInfo::exists(slow));
    EXPECT_TRUE(QFileInfo::exists(later));
    EXPECT_FALSE(child("failView")->isHidden());
    EXPECT_EQ(label("failNode")->text(), "The operation was canceled by the user.");
    // The list holds only the unticked item.
    ASSERT_EQ(screen.list().valueArr.size(), 1);
    EXPECT_EQ(screen.list().valueArr[0]->url, unticked);
    EXPECT_EQ(host.calls, (QList<bool>{false, true}));
}

TEST_F(ScreenTest, QuittingDuringARunCancelsItAndRecordsItFirst)
{
    screen.setToolPath(fakeSrm.path());
    TempTree tree;
    const QString first = tree.file("first.txt", "1");
    const QString slow = tree.file("slow.bin", QByteArray(4096, 's'));
    screen.addChosenPaths({first, slow});
    screen.makeSureToEraserSelectFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return label("eraserPathLabel")->text() == slow; }, 10000));

    QElapsedTimer t;
    t.start();
    screen.finishBeforeQuit();  // what the program's quit runs
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_FALSE(screen.isRunning());
    EXPECT_EQ(historyRows(), (QStringList{first + "=Erased", slow + "=Failed"}));
    EXPECT_TRUE(QFileInfo::exists(slow));
    EXPECT_EQ(PublicUtilities::getUpDataHistoryStr("WipeFileHistory"), "1");
}

TEST_F(ScreenTest, QuittingDuringALargeErasureStopsSrmAndRecordsThePartialRun)
{
    TempTree tree;
    const QString done = tree.file("done.txt", "small");
    const QString big = tree / "big.bin";
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray chunk(1 << 20, 'b');
        for (int i = 0; i < 300; ++i)
            ASSERT_EQ(f.write(chunk), chunk.size());
    }
    platform::setUserDefaultInteger(kEraserTimesKey, 35);  // 36 passes: long enough to be inside it
    screen.addChosenPaths({big, done});
    screen.makeSureToEraserSelectFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return label("eraserPathLabel")->text() == big; }, 20000));
    QTest::qWait(300);  // srm is inside the large file

    QElapsedTimer t;
    t.start();
    screen.finishBeforeQuit();
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_EQ(historyRows().join('\n').toStdString(), QStringList({big + "=Failed", done + "=Failed"}).join('\n').toStdString());
    EXPECT_TRUE(QFileInfo::exists(big));
    EXPECT_TRUE(QFileInfo::exists(done));
    // No srm is left behind working on it.
    QProcess pgrep;
    pgrep.start("pgrep", {"-f", "-P", QString::number(QCoreApplication::applicationPid()), "srm"});
    pgrep.waitForFinished();
    EXPECT_TRUE(pgrep.readAllStandardOutput().trimmed().isEmpty());
    platform::setUserDefaultInteger(kEraserTimesKey, 1);
}

TEST_F(ScreenTest, AnItemLeftInPlaceShowsTheFailurePageEvenWithoutAnEngineFailure)
{
    TempTree tree;
    // Dropped, then gone before the run: nothing was erased.
    const QString vanished = tree.file("vanished-empty", "");
    const QString vanishedFull = tree.file("vanished-full", "data");
    screen.addChosenPaths({vanished, vanishedFull});
    QFile::remove(vanished);
    QFile::remove(vanishedFull);
    ASSERT_TRUE(runToEnd());
    EXPECT_FALSE(child("failView")->isHidden());
    EXPECT_TRUE(child("sussView")->isHidden() || child("sussView")->x() != 0);

    // An empty file that cannot be removed (an immutable folder holds it).
    TempTree other;
    const QString folder = other.folder("locked");
    const QString empty = other.file("locked/empty", "");
    QProcess chattr;
    chattr.start("chattr", {"+i", folder});
    if (!chattr.waitForFinished() || chattr.exitCode() != 0)
        GTEST_SKIP() << "the immutable flag cannot be set here (needs root and a file system with the flag)";
    FileEraserViewController second{nullptr, &store};
    second.setToolPath(kSrm);
    second.addChosenPaths({empty});
    QSignalSpy ended(&second, &FileEraserViewController::runEnded);
    second.makeSureToEraserSelectFiles();
    const bool done = ended.wait(20000);
    QProcess::execute("chattr", {"-i", folder});
    ASSERT_TRUE(done);
    EXPECT_TRUE(QFileInfo::exists(empty));
    EXPECT_FALSE(second.findChild<QWidget*>("failView")->isHidden());
    EXPECT_EQ(second.deleteErrorArr().first()->failStr, "Failed");
}

TEST_F(ScreenTest, ABusyHistoryIsWrittenOnceFreeAndOnlyThenFlagged)
{
    PublicUtilities::writeUpDataHistoryStr("WipeFileHistory", "0");
    TempTree tree;
    const QString file = tree.file("a.txt", "a");
    ASSERT_TRUE(store.getAllData().isEmpty());  // makes the tables
    // Another process holds the write lock until the run has ended, however
    // long a loaded machine takes over it.
    QProcess holder;
    holder.start("python3", {"-c",
                             "import sqlite3,sys\n"
                             "c=sqlite3.connect(sys.argv[1],isolation_level=None)\n"
                             "c.execute('BEGIN EXCLUSIVE')\nprint('locked',flush=True)\nsys.stdin.readline()\nc.execute('COMMIT')",
                             store.getDataBase()});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    screen.addChosenPaths({file});
    QSignalSpy written(&screen, &FileEraserViewController::historyWritten);
    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    QElapsedTimer gui;
    gui.start();
    screen.makeSureToEraserSelectFiles();
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_FALSE(screen.lastRunRecorded());
    EXPECT_EQ(PublicUtilities::getUpDataHistoryStr("WipeFileHistory"), "0");
    holder.write("\n");
    holder.closeWriteChannel();
    ASSERT_TRUE(written.size() == 1 || written.wait(30000));
    holder.waitForFinished();
    EXPECT_TRUE(screen.lastRunRecorded());
    EXPECT_EQ(historyRows(), QStringList{file + "=Erased"});
    EXPECT_EQ(PublicUtilities::getUpDataHistoryStr("WipeFileHistory"), "1");
}

TEST_F(ScreenTest, BuildingALargeRunListLeavesTheWindowResponsive)
{
    TempTree tree;
    const QString top = tree.folder("big");
    for (int d = 0; d < 50; ++d) {
        const QString sub = tree.folder(QString("big/d%1").arg(d));
        for (int f = 0; f < 1000; ++f) {
            QFile file(QString("%1/f%2").arg(sub).arg(f));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
    FakeTool idle("srm", "exit 0");  // touches nothing
    screen.setToolPath(idle.path());
    screen.addChosenPaths({top});

    qint64 worstGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        worstGap = std::max(worstGap, sinceTick.restart());
    });
    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    screen.makeSureToEraserSelectFiles();
    sinceTick.start();
    ticker.start();
    // Until the engine has the run list: the walk of 50,000 entries.
    QElapsedTimer building;
    building.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !label("eraserRoundLabel")->text().isEmpty(); }, 30000));
    ticker.stop();
    // A walk on the window's thread stalls it for the whole build; beside
    // other tests the scheduler alone may hold it for tens of milliseconds.
    EXPECT_LT(worstGap, std::max<qint64>(50, building.elapsed() / 3)) << "built in " << building.elapsed() << " ms";
    EXPECT_TRUE(label("eraserRoundLabel")->text().endsWith("of 50051 items")) << label("eraserRoundLabel")->text().toStdString();
    screen.cancelShred();
    ASSERT_TRUE(ended.wait(60000));
}

TEST_F(ScreenTest, AHistoryThatCannotBeWrittenStillEndsTheRunAndSaysSo)
{
    PublicUtilities::writeUpDataHistoryStr("WipeFileHistory", "0");
    TempTree tree;
    DoDataBase broken{tree.folder("not-a-database")};
    FileEraserViewController other{nullptr, &broken};
    other.setToolPath(kSrm);
    const QString file = tree.file("a.txt", "a");
    other.addChosenPaths({file});
    QSignalSpy ended(&other, &FileEraserViewController::runEnded);
    other.makeSureToEraserSelectFiles();
    ASSERT_TRUE(ended.wait(20000));
    EXPECT_FALSE(other.lastRunRecorded());
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(other.findChild<QWidget*>("sussView")->isHidden());
    // Nothing was written: the history button does not announce a new run,
    // and the user is told.
    EXPECT_EQ(PublicUtilities::getUpDataHistoryStr("WipeFileHistory"), "0");
    EXPECT_TRUE(other.findChild<QWidget*>("historyNotRecordedNotice"));
}

TEST_F(ScreenTest, ListPageIsDrawnDark)
{
    TempTree tree;
    screen.resize(730, 580);
    screen.show();
    screen.addChosenPaths({tree.folder("Photos"), tree.file("notes.txt", "n"), tree.file("report.PDF", QByteArray(2500, 'r'))});
    QTest::qWait(700);  // the list slides in
    const QImage image = screen.grab().toImage();
    if (qEnvironmentVariableIsSet("TV_SCREENSHOT"))
        image.save(qEnvironmentVariable("TV_SCREENSHOT"));
    for (const QPoint p : {QPoint(5, 570), QPoint(400, 440), QPoint(700, 5)})
        EXPECT_LT(qGray(image.pixel(p)), 80) << p.x() << "," << p.y();
}

TEST_F(ScreenTest, TheRunErasesWhatWasTickedWhenTheUserConfirmed)
{
    TempTree tree;
    const QString ticked = tree.file("ticked.txt", "1");
    const QString unticked = tree.file("unticked.txt", "2");
    screen.addChosenPaths({ticked, unticked});
    screen.selectListButton(1);

    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    screen.makeSureToEraserSelectFiles();
    // The list page is still on screen while the progress page slides in.
    screen.selectListButton(1);
    screen.setAllSelectOrNoSelect();
    screen.emptyListButtonAction();
    ASSERT_TRUE(ended.wait(20000));

    EXPECT_FALSE(QFileInfo::exists(ticked));
    EXPECT_TRUE(QFileInfo::exists(unticked));
    EXPECT_EQ(historyRows(), QStringList{ticked + "=Erased"});
    ASSERT_EQ(screen.list().valueArr.size(), 1);
    EXPECT_EQ(screen.list().valueArr[0]->url, unticked);
}

TEST_F(ScreenTest, ASecondConfirmationDoesNotStartASecondRun)
{
    TempTree tree;
    FakeTool srm{"srm", kSrmScript};
    screen.setToolPath(srm.path());
    const QString item = tree.file("item.txt", "data");
    screen.addChosenPaths({item});

    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    screen.makeSureToEraserSelectFiles();
    screen.makeSureToEraserSelectFiles();
    ASSERT_TRUE(ended.wait(20000));
    QTest::qWait(1500);

    EXPECT_EQ(srm.log().count('\n'), 1) << srm.log().toStdString();
    EXPECT_EQ(ended.size(), 1);
    EXPECT_EQ(host.calls, (QList<bool>{false, true}));
    EXPECT_EQ(historyRows(), QStringList{item + "=Erased"});
}

TEST_F(ScreenTest, ACancelBeforeTheFirstItemErasesNothing)
{
    screen.setToolPath(fakeSrm.path());
    TempTree tree;
    const QString item = tree.file("item.txt", "data");
    screen.addChosenPaths({item});

    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    screen.makeSureToEraserSelectFiles();
    screen.cancelShred();
    ASSERT_TRUE(ended.wait(20000));

    EXPECT_TRUE(QFileInfo::exists(item));
    EXPECT_TRUE(fakeSrm.log().isEmpty());
    // Recorded like any cancelled run: the item is still there.
    EXPECT_EQ(historyRows(), QStringList{item + "=Failed"});
    EXPECT_FALSE(child("failView")->isHidden());
    EXPECT_EQ(label("failNode")->text(), "The operation was canceled by the user.");
}

// A user owns a folder on the path of a chosen file. While a large file ahead
// of it is overwritten, the user swaps a subfolder for a link to a folder only
// root may read, holding a file of the same name. Root's file must survive,
// and the run must say the item failed.
TEST_F(ScreenTest, AFolderSwappedForALinkDuringALargeFileLeavesRootsFileAndFailsTheItem)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: the folders must belong to another user";
    const auto nobody = platform::userNamed("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user 'nobody' to own the folders";
    TempTree tree;
    const QString big = tree / "big.bin";
    writeBig(big, 192, 'b');
    for (const QString& rel : {QStringLiteral("home"), QStringLiteral("home/pub"), QStringLiteral("home/pub/sub")})
        ASSERT_EQ(::lchown(QFile::encodeName(tree.folder(rel)).constData(), nobody->uid, nobody->gid), 0);
    const QString victim = tree.file("home/pub/sub/victim", "the user's own file");
    ASSERT_EQ(::lchown(QFile::encodeName(victim).constData(), nobody->uid, nobody->gid), 0);
    const QString decoy = tree.folder("decoy");
    ASSERT_EQ(::chmod(QFile::encodeName(decoy).constData(), 0700), 0);
    const QByteArray secret = "root only: " + QByteArray(5000, 'R');
    const QString rootsFile = tree.file("decoy/victim", secret);

    screen.addChosenPaths({big, victim});
    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    screen.makeSureToEraserSelectFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return overwriteStarted(big, 'b'); }, 20000));
    // The user's move, as the user could make it in their own folder.
    const QByteArray sub = QFile::encodeName(tree / "home/pub/sub");
    ASSERT_EQ(::rename(sub.constData(), (sub + ".old").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(decoy).constData(), sub.constData()), 0);
    ASSERT_EQ(::lchown(sub.constData(), nobody->uid, nobody->gid), 0);
    ASSERT_TRUE(ended.wait(60000));

    EXPECT_EQ(TempTree::read(rootsFile), secret);
    EXPECT_EQ(TempTree::read(tree / "home/pub/sub.old/victim"), "the user's own file");
    EXPECT_FALSE(QFileInfo::exists(big));
    EXPECT_EQ(historyRows(), QStringList({big + "=Erased", victim + "=Failed"}));
    EXPECT_TRUE(screen.isFailedEraser());
    EXPECT_FALSE(child("failView")->isHidden());
    EXPECT_TRUE(QTest::qWaitFor([&] { return child("failView")->x() == 0; }, 3000));
}

// The counter and the path while srm works through a large file, then a small one.
TEST_F(ScreenTest, TheProgressNamesTheFileBeingOverwrittenAndCountsEveryItem)
{
    TempTree tree;
    const QString big = tree / "big.bin";
    writeBig(big, 128, 'g');
    const QString small = tree.file("small.txt", "small");
    screen.addChosenPaths({big, small});
    QStringList pathsShown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (pathsShown.isEmpty() || pathsShown.last() != label("eraserPathLabel")->text())
            pathsShown << label("eraserPathLabel")->text();
    });
    watch.start(5);
    screen.makeSureToEraserSelectFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return overwriteStarted(big, 'g'); }, 20000));
    EXPECT_EQ(label("eraserPathLabel")->text(), big);
    EXPECT_EQ(label("eraserRoundLabel")->text(), "0 of 2 items");
    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    ASSERT_TRUE(ended.wait(60000));
    watch.stop();
    EXPECT_EQ(label("eraserRoundLabel")->text(), "2 of 2 items");
    // The small file is named only after the large one, never ahead of it.
    pathsShown.removeAll(QString());
    ASSERT_FALSE(pathsShown.isEmpty());
    EXPECT_EQ(pathsShown.first(), big);
    EXPECT_EQ(pathsShown.count(big), 1) << pathsShown.join(", ").toStdString();
    EXPECT_FALSE(QFileInfo::exists(big));
    EXPECT_FALSE(QFileInfo::exists(small));
}

TEST_F(ScreenTest, AddIsReachedWithTabWearsTheRingAndHasAKey)
{
    screen.resize(730, 580);
    screen.show();
    QApplication::setActiveWindow(&screen);
    auto* add = child<TextImageButton>("mainAddButton");
    // Round the screen's controls until Tab comes back to Add.
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &screen, Qt::Key_Tab);
    for (int i = 0; i < 12 && QApplication::focusWidget() != add; ++i)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &screen, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), add) << "Tab reaches Add";
    EXPECT_TRUE(add->showsFocusRing());
    EXPECT_FALSE(screen.findChild<FileEraserOpenPanel*>());

    // Its key opens the panel as a press does.
    add->clearFocus();
    QTest::keyClick(&screen, Qt::Key_O, Qt::ControlModifier);
    QPointer<FileEraserOpenPanel> panel = screen.findChild<FileEraserOpenPanel*>();
    ASSERT_TRUE(panel) << "Ctrl+O opens the panel";
    EXPECT_TRUE(add->toolTip().contains("Ctrl+O"));
    panel->reject();
}

TEST_F(ScreenTest, TheContextMenuCarriesTheRowUnderThePointerAndOpensThere)
{
    TempTree tree;
    const QString first = tree.file("first.txt", "1");
    const QString second = tree.file("second.txt", "2");
    screen.resize(730, 580);
    screen.show();
    screen.addChosenPaths({first, second});
    QTest::qWait(700);  // the list slides in
    auto* table = child<QTableView>("valueTableView");
    ASSERT_TRUE(table);
    for (int row : {1, 0}) {
        const QPoint at = table->visualRect(table->model()->index(row, 2)).center();
        QString carried;
        QPoint shownAt;
        QColor body;
        bool opened = false;
        QTimer::singleShot(50, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                opened = true;
                carried = menu->property("itemPath").toString();
                shownAt = menu->pos();
                body = menu->grab().toImage().pixelColor(menu->width() / 2, menu->height() - 3);
                menu->close();
            }
        });
        QTest::mousePress(table->viewport(), Qt::RightButton, {}, at);
        QTest::qWait(100);
        ASSERT_TRUE(opened) << "row " << row;
        EXPECT_EQ(carried, row == 1 ? second : first);
        EXPECT_EQ(shownAt, table->viewport()->mapToGlobal(at));
        // Drawn in the program's dark look, not the platform's white.
        EXPECT_LT(qGray(body.rgb()), 90) << body.name().toStdString();
    }

    // An item that cannot be opened says so, and once that is answered the
    // keyboard is back on the list.
    QApplication::setActiveWindow(&screen);
    table->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), table);
    screen.list().valueArr[0]->url = QStringLiteral("not-a-path");  // refused by the opener
    QString said;
    QTimer::singleShot(100, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            said = box->text();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    screen.openFinderWhenClickItems(screen.list().valueArr[0]);
    EXPECT_EQ(said, "Cannot open file");
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == table; }, 1000))
        << "the keyboard is on " << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "nothing");
}

TEST_F(ScreenTest, TheListIsWorkedByKeysAlone)
{
    TempTree tree;
    screen.resize(730, 580);
    screen.show();
    QApplication::setActiveWindow(&screen);
    screen.addChosenPaths({tree.file("a", "1"), tree.file("b", "2"), tree.file("c", "3")});
    QTest::qWait(700);  // the list slides in
    auto* table = child<CustomTableView>("valueTableView");
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->focusPolicy() & Qt::TabFocus) << "Tab reaches the list";
    table->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), table);
    ListKeys* keys = ListKeys::of(table);
    ASSERT_TRUE(keys);
    EXPECT_EQ(keys->focusedRow(), 0) << "coming in, the first row is focused";
    EXPECT_TRUE(keys->ring()->isVisible()) << "and wears the ring";

    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(keys->focusedRow(), 1);
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_FALSE(screen.list().valueArr[1]->isSelect) << "Space unticks the focused row";
    EXPECT_TRUE(screen.list().valueArr[0]->isSelect);
    EXPECT_EQ(keys->focusedRow(), 1) << "the reload keeps the row";
    EXPECT_EQ(keys->ring()->geometry().top(), table->rowViewportPosition(1));
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(keys->focusedRow(), 2) << "Down stops at the last row";
    QTest::keyClick(table, Qt::Key_Up);
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_TRUE(screen.list().valueArr[1]->isSelect) << "and ticks it again";
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_EQ(table->rowNum(), 1) << "Return highlights the row as a click does";
    EXPECT_EQ(screen.returnSelectAllState(), FileEraserList::kAllSelected);

    table->clearFocus();
    EXPECT_FALSE(keys->ring()->isVisible()) << "no ring without the keyboard";
}

TEST_F(ScreenTest, TheSortPopOverIsWorkedByKeysAndStaysUntilAnswered)
{
    TempTree tree;
    screen.resize(730, 580);
    screen.show();
    QApplication::setActiveWindow(&screen);
    screen.addChosenPaths({tree.file("small", "1"), tree.file("big", "12345"), tree.file("mid", "123")});
    QTest::qWait(700);
    auto* sort = child<QAbstractButton>("sortButton");
    sort->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), sort);

    // Escape closes it; the keyboard stays on the sort button.
    QTest::keyClick(sort, Qt::Key_Space);
    QTest::qWait(100);  // a user's pause: the window system has shown it
    ASSERT_TRUE(screen.sortPopover());
    QPointer<QWidget> pop = screen.sortAttachedWindow();
    QTest::qWait(AttachedDropDown::kAutoCloseMs + 300);
    EXPECT_TRUE(pop && pop->isVisible()) << "opened by keys, it does not close by itself";
    EXPECT_EQ(screen.sortPopover()->keyRow(), 1) << "the current key wears the highlight";
    QTest::keyClick(sort, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !pop || !pop->isVisible(); }, 1000));
    EXPECT_EQ(QApplication::focusWidget(), sort);

    // Down to "size", Return chooses it; then down to "descending".
    QSignalSpy sorted(&screen, &FileEraserViewController::sorted);
    QTest::keyClick(sort, Qt::Key_Space);
    QTest::qWait(100);  // a user's pause: the window system has shown it
    ASSERT_TRUE(screen.sortPopover());
    QTest::keyClick(sort, Qt::Key_Down);
    EXPECT_EQ(screen.sortPopover()->keyRow(), 2);
    QTest::keyClick(sort, Qt::Key_Return);
    ASSERT_TRUE(sorted.wait(5000));
    EXPECT_FALSE(screen.sortPopover()) << "a choice closes it";
    EXPECT_EQ(QApplication::focusWidget(), sort) << "and the keyboard is on the sort button";
    QTest::keyClick(sort, Qt::Key_Space);
    QTest::qWait(100);  // a user's pause: the window system has shown it
    ASSERT_TRUE(screen.sortPopover());
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(sort, Qt::Key_Down);
    EXPECT_EQ(screen.sortPopover()->keyRow(), 5);
    QTest::keyClick(sort, Qt::Key_Return);
    ASSERT_TRUE(sorted.wait(5000));
    QStringList names;
    for (const auto& item : screen.list().valueArr)
        names << item->name;
    EXPECT_EQ(names, (QStringList{"big", "mid", "small"}));
}

TEST_F(ScreenTest, SidePanelsAndTheEndPageGiveTheKeyboardBack)
{
    TempTree tree;
    screen.resize(730, 580);
    screen.show();
    QApplication::setActiveWindow(&screen);
    auto* set = child<QAbstractButton>("setButton");
    set->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), set);
    screen.setButtonAction();
    QTRY_VERIFY(QApplication::focusWidget() && QApplication::focusWidget() != set);
    screen.closeSetEraserLevelView();
    EXPECT_EQ(QApplication::focusWidget(), set) << "the method panel gives it back";

    auto* history = child<QAbstractButton>("historyButton");
    history->setFocus(Qt::TabFocusReason);
    screen.historyButtonAction();
    QTRY_VERIFY(QApplication::focusWidget() != history);
    screen.closeHistoryView();
    EXPECT_EQ(QApplication::focusWidget(), history) << "and so does the history";

    // The end page: its opener (Erase Now) has gone with the list, so the
    // window's home takes the keyboard.
    QWidget home;
    home.setParent(&screen);
    home.setFocusPolicy(Qt::TabFocus);
    home.setGeometry(0, 0, 10, 10);
    home.show();
    FocusReturn::setHome(&screen, [&]() -> QWidget* { return &home; });
    screen.addChosenPaths({tree.file("gone", "x")});
    ASSERT_TRUE(runToEnd());
    QTest::qWait(700);
    QAbstractButton* ok = button("sussOkButton");
    if (!ok->isVisible())
        ok = button("failOkButton");
    ok->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), ok);
    QTest::keyClick(ok, Qt::Key_Space);
    EXPECT_EQ(QApplication::focusWidget(), &home);
}

TEST_F(ScreenTest, NamesThatLookLikeMarkupAreShownAsTheyStand)
{
    TempTree tree;
    // No "/" in a file's name: the markup is an opening tag alone.
    const QString odd = tree.file("A<b>B", "1");
    screen.addChosenPaths({odd});
    auto* table = child<QTableView>("valueTableView");
    for (int column : {2, 3}) {
        const QString tip = table->model()->index(0, column).data(Qt::ToolTipRole).toString();
        QTextDocument shown;
        if (Qt::mightBeRichText(tip))
            shown.setHtml(tip);
        else
            shown.setPlainText(tip);
        EXPECT_EQ(shown.toPlainText(), column == 2 ? QStringLiteral("A<b>B") : odd) << tip.toStdString();
    }
    EXPECT_EQ(label("eraserPathLabel")->textFormat(), Qt::PlainText);
}

TEST_F(ScreenTest, DuringARunCancelIsTheOnlyStopAndTakesTheKeyboard)
{
    screen.setToolPath(fakeSrm.path());
    screen.resize(730, 580);
    screen.show();
    QApplication::setActiveWindow(&screen);
    TempTree tree;
    const QString slow = tree.file("slow.bin", QByteArray(4096, 's'));  // the stand-in sleeps on it
    screen.addChosenPaths({slow});
    QTest::qWait(700);
    button("eraserFileButton")->setFocus(Qt::TabFocusReason);
    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    screen.makeSureToEraserSelectFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return label("eraserPathLabel")->text() == slow; }, 10000));
    QTest::qWait(700);  // the progress page is in place
    QStringList stops;
    for (QWidget* w : screen.findChildren<QWidget*>())
        if (w->isVisibleTo(&screen) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && !w->visibleRegion().isEmpty())
            stops << w->objectName();
    EXPECT_EQ(stops, QStringList{"cancelEraserButton"}) << "nothing covered by the progress page takes Tab";
    EXPECT_EQ(QApplication::focusWidget(), button("cancelEraserButton"));
    QTest::keyClick(button("cancelEraserButton"), Qt::Key_Space);
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_TRUE(screen.isCancel());
}
