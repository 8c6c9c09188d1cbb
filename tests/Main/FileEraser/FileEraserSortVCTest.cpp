#include "Main/FileEraser/FileEraserSortVC.h"
#include "Main/FileEraser/FileEraserViewController.h"
#include "TempTree.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Recorder : FileEraserSortVCDelegate
{
    QList<QPair<int, int>> choices;
    void selectSortbyType(int t, int ad) override { choices << qMakePair(t, ad); }
};

double alphaOf(const QLabel* label)
{
    return label->property("alpha").toDouble();
}

}  // namespace

TEST(FileEraserSortVC, ShowsTheChoiceAndReportsClicks)
{
    FileEraserSortVC vc;
    Recorder recorder;
    vc.setDelegate(&recorder);
    vc.setSortType(1, 1);
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(!vc.icon(n)->isHidden(), n == 2 || n == 5) << n;
    EXPECT_EQ(alphaOf(vc.label(2)), 1.0);
    EXPECT_EQ(alphaOf(vc.label(5)), 1.0);

    vc.selectSortType(vc.row(4));  // "ascending"
    ASSERT_EQ(recorder.choices.size(), 1);
    EXPECT_EQ(recorder.choices[0], qMakePair(1, 0));
    EXPECT_EQ(alphaOf(vc.label(2)), 0.7);
    EXPECT_FALSE(vc.icon(2)->isHidden());
    EXPECT_FALSE(vc.icon(4)->isHidden());
    EXPECT_TRUE(vc.icon(5)->isHidden());

    vc.setSortType(7, 9);  // out of range: nothing changes
    EXPECT_EQ(vc.sortType(), 1);
    EXPECT_EQ(vc.sortAD(), 0);
}

TEST(FileEraserSortVC, HostClosesOnlyItsOwnOpening)
{
    ScopedLayout layout;
    FileEraserViewController host;
    host.show();
    host.sortButtonAction();
    QTest::qWait(1500);
    host.sortButtonAction();  // the first opening's timer must leave this one alone
    QPointer<QWidget> second = host.sortAttachedWindow();
    ASSERT_TRUE(second);
    QTest::qWait(800);
    EXPECT_TRUE(second && second->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !second || !second->isVisible(); }, 2000));
}

TEST(FileEraserSortVC, ChoosingSortsTheHostList)
{
    ScopedLayout layout;
    TempTree tree;
    FileEraserViewController host;
    host.addChosenPaths({tree.file("small", "1"), tree.file("big", "12345"), tree.file("mid", "123")});
    QSignalSpy sorted(&host, &FileEraserViewController::sorted);
    host.selectSortbyType(2, 1);  // the third key sorts by size
    ASSERT_TRUE(sorted.wait(5000));
    QStringList names;
    for (const auto& i : host.list().valueArr)
        names << i->name;
    EXPECT_EQ(names, (QStringList{"big", "mid", "small"}));
}

TEST(FileEraserSortVC, OpensAboveItsDesignedPointWhenItFitsTheWindowElseBelowTheButton)
{
    ScopedLayout layout;
    // The tool's view where the main window holds it, beside the navigation column.
    QWidget mainWindow;
    mainWindow.resize(960, 608);
    auto* host = new FileEraserViewController(&mainWindow);
    host->move(230, 28);
    mainWindow.show();
    host->sortButtonAction();
    QWidget* pop = host->sortAttachedWindow();
    ASSERT_TRUE(pop);
    const QRect frame(mainWindow.mapFromGlobal(pop->mapToGlobal(QPoint(0, 0))), pop->size());
    // Its lower edge is centred on the point 891 across and 409 up from the lower left corner.
    EXPECT_NEAR(frame.center().x(), 891, 1);
    EXPECT_NEAR(frame.y() + frame.height(), 608 - 409, 1);
    EXPECT_TRUE(mainWindow.rect().contains(frame));

    // Where it would stick out of a smaller window, it hangs below the sort button.
    const QRect button(876, 40, 30, 30);
    const auto below = FileEraserViewController::sortAnchor(QSize(940, 608), QSize(132, 164), button);
    EXPECT_EQ(below.side, 1);
    EXPECT_EQ(below.point, QPointF(button.center().x(), 72));
    const auto tooTall = FileEraserViewController::sortAnchor(QSize(960, 500), QSize(132, 164), button);
    EXPECT_EQ(tooTall.side, 1);
}
