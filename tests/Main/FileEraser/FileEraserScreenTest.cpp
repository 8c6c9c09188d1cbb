#include "Comm/PublicUtilities.h"
#include "FakeTool.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "Main/FileEraser/FileEraserViewController.h"
#include "TempTree.h"
#include "SetEraserLevel/DoDataBase.h"
#include "ToolCon/TextImageButton.h"
#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Host : MainWindowToolHost
{
    QList<bool> calls;
    void canChangeType(bool canChange) override { calls << canChange; }
};

const QString kSrm = QStringLiteral(TV_STAGE_DIR) + "/libexec/tarnwick-vantoly/srm";

// A stand-in for srm, for what the real one cannot be made to do as root:
// it leaves paths naming "keep" in place.
const char* kSrmScript = R"(echo "$@" >> "$LOG"
case "$2" in
  *keep*) exit 0 ;;
  *slow*) exec sleep 30 ;;
esac
rm -f "$2")";

class ScreenTest : public ::testing::Test
{
protected:
    ScopedLayout layout;
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
    EXPECT_TRUE(label("selectCountLabel")->text().contains("font-weight:bold; font-size:14pt\">2</span>/3 Items"))
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

TEST_F(ScreenTest, CancelRecordsTheItemsReachedSoFar)
{
    TempTree tree;
    const QString first = tree.file("first.txt", "1");
    // Many passes over a large file keep the tool busy long enough to cancel.
    platform::setUserDefaultInteger(kEraserTimesKey, 35);
    const QString slow = tree.file("slow.bin", QByteArray(64 << 20, 's'));
    const QString later = tree.file("later.txt", "3");
    screen.addChosenPaths({first, slow, later});

    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    screen.makeSureToEraserSelectFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return label("eraserPathLabel")->text() == slow; }, 10000));
    EXPECT_TRUE(label("eraserRoundLabel")->text().startsWith("1 of 3"));
    screen.cancelShred();
    ASSERT_TRUE(ended.wait(10000));

    // The end page and the history say the same: one erased, one left, the rest never reached.
    EXPECT_EQ(historyRows(), (QStringList{first + "=Erased", slow + "=Failed"}));
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_TRUE(QFileInfo::exists(slow));
    EXPECT_FALSE(child("failView")->isHidden());
    EXPECT_EQ(label("failNode")->text(), "The operation was canceled by the user.");
    EXPECT_TRUE(QFileInfo::exists(later));
    ASSERT_EQ(screen.list().valueArr.size(), 1);
    EXPECT_EQ(screen.list().valueArr[0]->url, later);
    EXPECT_EQ(host.calls, (QList<bool>{false, true}));
}

TEST_F(ScreenTest, AHistoryThatCannotBeWrittenStillEndsTheRun)
{
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
    TempTree tree;
    const QString item = tree.file("item.txt", "data");
    screen.addChosenPaths({item});

    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    screen.makeSureToEraserSelectFiles();
    screen.cancelShred();
    ASSERT_TRUE(ended.wait(20000));

    EXPECT_TRUE(QFileInfo::exists(item));
    bool ok = false;
    EXPECT_TRUE(store.getAllData(&ok).isEmpty());
    EXPECT_TRUE(ok);
    EXPECT_FALSE(child("failView")->isHidden());
    EXPECT_EQ(label("failNode")->text(), "The operation was canceled by the user.");
}
