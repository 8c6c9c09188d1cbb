#include "Main/MainWindowController.h"
#include "Main/BaseWindow.h"
#include "TopView/HMTrafficButtonsContainer.h"
#include "TempTree.h"

#include <QLabel>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct FakeTool : QWidget, MainWindowTool
{
    QWidget* toolView() override { return this; }
    void setSuperDelegate(MainWindowToolHost* h) override { host = h; }
    void getallVolumes() override { ++rescans; }
    void changeFormatOrFreeSpaceView(int type) override { modes << type; }
    void endAppRemoveFolder() override { ++folderRemovals; }

    MainWindowToolHost* host = nullptr;
    int rescans = 0;
    QList<int> modes;
    int folderRemovals = 0;
};

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest()
    {
        ToolSlots toolSlots;
        toolSlots.fileEraser = [this] { return eraser = new FakeTool; };
        toolSlots.wipeDisk = [this] { return wiper = new FakeTool; };
        toolSlots.repairDisk = [this] { return repair = new FakeTool; };
        // Uninstaller and Internet Cleanup stay empty, as unbuilt tools do.
        controller = std::make_unique<MainWindowController>(toolSlots);
        controller->showWindow();
        QCoreApplication::processEvents();  // the Disk Manager's first scan
    }

    void click(int tag) { QTest::mouseClick(controller->typeButton(tag), Qt::LeftButton, {}, QPoint(20, 14)); }
    void waitForSlide() { QTRY_VERIFY_WITH_TIMEOUT(!controller->isSliding(), 2000); }
    QPoint pos(int containerIndex) const { return controller->baseView(containerIndex)->pos(); }

    ScopedLayout layout;
    FakeTool* eraser = nullptr;
    FakeTool* wiper = nullptr;
    FakeTool* repair = nullptr;
    std::unique_ptr<MainWindowController> controller;
};

TEST_F(MainWindowTest, StartsOnTheFirstToolWithToolsInTheirContainers)
{
    EXPECT_EQ(controller->indexSelectView(), 0);
    EXPECT_TRUE(controller->typeButton(0)->isClick());
    EXPECT_EQ(pos(0), QPoint(0, 0));
    for (int i = 1; i < 5; ++i)
        EXPECT_GE(pos(i).y(), controller->baseView(i)->height()) << "container " << i << " starts out of sight";
    EXPECT_EQ(eraser->parentWidget(), controller->baseView(0));
    EXPECT_EQ(wiper->parentWidget(), controller->baseView(1));
    EXPECT_EQ(repair->parentWidget(), controller->baseView(2));
    // Only the shredder and the wiper are given the host; the Disk Manager
    // scans once at start.
    EXPECT_EQ(eraser->host, controller.get());
    EXPECT_EQ(wiper->host, controller.get());
    EXPECT_EQ(repair->host, nullptr);
    EXPECT_EQ(repair->rescans, 1);
    // Entries in order, with the wider gap before the disk tools.
    EXPECT_EQ(controller->typeButton(1)->y() - controller->typeButton(0)->y(), 36);
    EXPECT_EQ(controller->typeButton(3)->y() - controller->typeButton(2)->y(), 82);
    EXPECT_EQ(controller->typeButton(5)->nameLabel()->text(), "Internet Cleanup");
}

TEST_F(MainWindowTest, ClickSlidesToTheNewToolAndIgnoresTheSelectedEntry)
{
    click(4);
    EXPECT_TRUE(controller->isSliding());
    EXPECT_EQ(controller->indexSelectView(), 4);
    waitForSlide();
    EXPECT_EQ(pos(3), QPoint(0, 0));
    EXPECT_EQ(pos(0), QPoint(0, MainWindowController::kSlideDistance));
    EXPECT_TRUE(controller->typeButton(4)->isClick());
    EXPECT_FALSE(controller->typeButton(0)->isClick());

    click(4);
    EXPECT_FALSE(controller->isSliding());
    EXPECT_EQ(wiper->rescans + repair->rescans, 1);
}

TEST_F(MainWindowTest, WiperEntriesShareOneViewAndSwitchModeWithoutSliding)
{
    click(2);
    EXPECT_EQ(wiper->rescans, 1);
    EXPECT_EQ(wiper->modes, QList<int>{2});
    EXPECT_TRUE(controller->isSliding());
    waitForSlide();
    EXPECT_EQ(pos(1), QPoint(0, 0));

    click(1);
    EXPECT_FALSE(controller->isSliding());
    EXPECT_EQ(wiper->rescans, 1) << "no rescan between the two wiper modes";
    EXPECT_EQ(wiper->modes, (QList<int>{2, 1}));
    EXPECT_EQ(controller->indexSelectView(), 1);
    EXPECT_EQ(pos(1), QPoint(0, 0));
}

TEST_F(MainWindowTest, DiskManagerRescansOnEverySwitch)
{
    click(3);
    waitForSlide();
    click(0);
    waitForSlide();
    click(3);
    waitForSlide();
    EXPECT_EQ(repair->rescans, 3);
    EXPECT_EQ(pos(2), QPoint(0, 0));
}

TEST_F(MainWindowTest, ClickDuringASlideLandsEveryContainer)
{
    click(3);
    click(5);
    waitForSlide();
    EXPECT_EQ(pos(4), QPoint(0, 0));
    for (int i : {0, 1, 2, 3})
        EXPECT_NE(pos(i), QPoint(0, 0)) << "container " << i;
}

TEST_F(MainWindowTest, LockedNavigationIgnoresClicksUntilUnlocked)
{
    eraser->host->canChangeType(false);
    for (int tag = 0; tag < 6; ++tag)
        EXPECT_FALSE(controller->typeButton(tag)->isEnd());
    click(3);
    EXPECT_EQ(controller->indexSelectView(), 0);
    EXPECT_EQ(repair->rescans, 1);
    EXPECT_TRUE(controller->typeButton(0)->isClick()) << "the selection stays";

    eraser->host->canChangeType(true);
    click(3);
    EXPECT_EQ(controller->indexSelectView(), 3);
}

TEST_F(MainWindowTest, EveryCloseRemovesTheFillFolderOnce)
{
    int closes = 0;
    QObject::connect(controller.get(), &MainWindowController::windowWillClose, [&] { ++closes; });
    // The title bar's button, then the window manager's close of the same window.
    QTest::mouseClick(controller->tabBarView()->closeButton(), Qt::LeftButton);
    EXPECT_EQ(wiper->folderRemovals, 1);
    EXPECT_EQ(closes, 1);
    controller->window()->show();
    controller->window()->close();
    EXPECT_EQ(wiper->folderRemovals, 1);
    EXPECT_EQ(closes, 2);
}

TEST_F(MainWindowTest, MinimiseHidesTheContentOnlyWhileTheWindowIsReallyAway)
{
    BaseWindow* w = controller->window();
    auto* content = w->findChild<QWidget*>(QStringLiteral("contentView"));
    ASSERT_TRUE(content);
    controller->tabBarView()->setMinAction(true);

    // Nothing takes the window away (no window manager): it stays as it was.
    QTest::mouseClick(controller->tabBarView()->minButton(), Qt::LeftButton, {}, QPoint(6, 6));
    QTest::qWait(50);
    EXPECT_TRUE(w->windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(w->isMiniaturized());
    EXPECT_TRUE(content->isVisible());

    // The window really leaves the screen: the content goes with it...
    w->hide();
    QTRY_VERIFY_WITH_TIMEOUT(w->isMiniaturized(), 2000);
    EXPECT_TRUE(content->isHidden());

    // ...and comes back whenever the desktop asks for the window again,
    // centred, or where it is larger than the screen (the test's own is
    // 800x600), with its upper left corner on the screen.
    w->move(0, 0);
    controller->showWindow();
    QTRY_VERIFY_WITH_TIMEOUT(!w->isMiniaturized(), 2000);
    EXPECT_FALSE(w->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(content->isVisible());
    const QRect screen = w->screen()->availableGeometry();
    const QRect frame = w->frameGeometry();
    if (screen.width() >= frame.width() && screen.height() >= frame.height())
        EXPECT_LE((frame.center() - screen.center()).manhattanLength(), 2);
    else
        EXPECT_EQ(frame.topLeft(), MainWindowController::placedOnScreen(frame, screen));
    EXPECT_TRUE(screen.contains(frame.topLeft()));
}

TEST(MainWindowWithoutTools, WindowManagerCloseStillCleansUpAndEmptySlotsLeaveEmptyContainers)
{
    ScopedLayout layout;
    FakeTool* wiper = nullptr;
    ToolSlots toolSlots;
    toolSlots.wipeDisk = [&] { return wiper = new FakeTool; };
    MainWindowController controller(toolSlots);
    controller.showWindow();
    EXPECT_TRUE(controller.baseView(0)->children().isEmpty());
    controller.window()->close();
    EXPECT_EQ(wiper->folderRemovals, 1);
}

TEST(MainWindowLook, PaintsTheDarkPanels)
{
    ScopedLayout layout;
    MainWindowController controller(ToolSlots{});
    const QImage image = controller.window()->grab().toImage();
    const QColor right = image.pixelColor(600, 300);
    EXPECT_EQ(right, QColor(50, 50, 62));
    const QColor leftBottom = image.pixelColor(100, 600);
    EXPECT_LT(leftBottom.red(), 45);
    EXPECT_LT(leftBottom.blue(), 60);
}

}  // namespace
