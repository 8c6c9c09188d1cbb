#include "FakeTool.h"
#include "Main/FileEraser/FileEraserViewController.h"
#include "TempTree.h"
#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Host : FileEraserSuperDelegate
{
    QList<bool> calls;
    void canChangeType(bool canChange) override { calls << canChange; }
};

struct HistoryRows
{
    QStringList rows;  // "path=word"
    QString method;
};

// A stand-in for srm: removes what it is given, except paths naming "keep",
// and works for a long time on paths naming "slow".
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
    FakeTool srm{"srm", kSrmScript};
    Host host;
    HistoryRows history;
    FileEraserViewController screen;

    void SetUp() override
    {
        platform::setUserDefaultInteger("EraserTimes", 1);
        screen.setToolPath(srm.path());
        screen.setSuperDelegate(&host);
        screen.setHistoryWriter([this](const FileObjList& items, const QString& method) {
            for (const FileObjPtr& i : items)
                history.rows << i->url + "=" + i->failStr;
            history.method = method;
        });
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
    EXPECT_FALSE(button("eraserFileButton")->isEnabled());
    screen.addChosenPaths({tree.file("a"), tree.file("b"), tree.file("c")});
    EXPECT_TRUE(button("eraserFileButton")->isEnabled());
    EXPECT_EQ(button("selectAllButton")->text(), "Unselect all");

    screen.selectListButton(0);
    EXPECT_TRUE(label("selectCountLabel")->text().contains("font-weight:bold; font-size:14pt\">2</span>/3 Items"))
        << label("selectCountLabel")->text().toStdString();
    EXPECT_EQ(button("selectAllButton")->text(), "Select all");

    screen.selectListButton(1);
    screen.selectListButton(2);
    EXPECT_FALSE(button("eraserFileButton")->isEnabled());
    EXPECT_EQ(label("selectCountLabel")->text(), "Total: 3 Items");

    screen.setAllSelectOrNoSelect();
    EXPECT_TRUE(button("eraserFileButton")->isEnabled());
    screen.emptyListButtonAction();
    EXPECT_FALSE(button("eraserFileButton")->isEnabled());
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
    EXPECT_EQ(history.rows, QStringList{top + "=Erased"});
    EXPECT_EQ(history.method, "HMG Infosec Standard 5");
    EXPECT_FALSE(screen.isFailedEraser());
    EXPECT_FALSE(child("sussView")->isHidden());
    EXPECT_EQ(host.calls, (QList<bool>{false, true}));
    // srm never saw a folder, and was given the link itself, not its target.
    EXPECT_FALSE(srm.log().contains(target));
    EXPECT_TRUE(srm.log().contains("-fsvrz " + top + "/B/link"));

    // The unticked item stays until the end page is left.
    ASSERT_EQ(screen.list().valueArr.size(), 1);
    EXPECT_EQ(screen.list().valueArr[0]->url, unticked);
    screen.sussEndBackToMainView();
    EXPECT_TRUE(screen.list().valueArr.isEmpty());
}

TEST_F(ScreenTest, AnItemThatSurvivesShowsTheFailurePage)
{
    TempTree tree;
    const QString kept = tree.file("keep.txt", "data");
    const QString gone = tree.file("gone.txt", "data");
    screen.addChosenPaths({kept, gone});
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(history.rows, (QStringList{kept + "=Failed", gone + "=Erased"}));
    EXPECT_FALSE(child("failView")->isHidden());
    EXPECT_TRUE(label("failNode")->isHidden());
}

TEST_F(ScreenTest, CancelRecordsTheItemsReachedSoFar)
{
    TempTree tree;
    const QString first = tree.file("first.txt", "1");
    const QString slow = tree.file("slow.bin", "2");
    const QString later = tree.file("later.txt", "3");
    screen.addChosenPaths({first, slow, later});

    QSignalSpy ended(&screen, &FileEraserViewController::runEnded);
    screen.makeSureToEraserSelectFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return srm.log().contains(slow); }, 10000));
    EXPECT_TRUE(label("eraserRoundLabel")->text().startsWith("1 of 3"));
    screen.cancelShred();
    ASSERT_TRUE(ended.wait(10000));

    EXPECT_EQ(history.rows, (QStringList{first + "=Erased", slow + "=Failed"}));
    EXPECT_FALSE(child("failView")->isHidden());
    EXPECT_EQ(label("failNode")->text(), "The operation was canceled by the user.");
    EXPECT_TRUE(QFileInfo::exists(later));
    EXPECT_FALSE(srm.log().contains(later));
    EXPECT_EQ(host.calls, (QList<bool>{false, true}));
}
