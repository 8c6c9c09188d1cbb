// The main window by keys alone: the navigation takes the keyboard, the
// arrows and a shortcut per tool switch tools, and Tab reaches only what the
// window shows. And its background moves it only when dragged.
#include "Main/BaseWindow.h"
#include "Main/FileEraser/FileEraserOpenPanel.h"
#include "Main/MainWindowController.h"
#include "Main/ToolSlots.h"
#include "TempTree.h"
#include "ToolCon/FourStateImageButton.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A tool screen with two controls on view and one parked to the side, as
// the real screens park their end pages and panels.
struct KeyTool : QWidget, MainWindowTool
{
    KeyTool()
    {
        resize(730, 580);
        first = new QPushButton(QStringLiteral("First"), this);
        first->setGeometry(40, 100, 100, 30);
        second = new QPushButton(QStringLiteral("Second"), this);
        second->setGeometry(40, 200, 100, 30);
        parked = new QPushButton(QStringLiteral("Parked"), this);
        parked->setGeometry(760, 200, 100, 30);
        for (QPushButton* b : {first, second, parked})
            b->setFocusPolicy(Qt::StrongFocus);
    }
    QWidget* toolView() override { return this; }
    void setSuperDelegate(MainWindowToolHost* h) override { host = h; }

    QPushButton* first = nullptr;
    QPushButton* second = nullptr;
    QPushButton* parked = nullptr;
    MainWindowToolHost* host = nullptr;
};

void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    ASSERT_TRUE(target) << "nothing has the keyboard";
    QTest::keyClick(target, key, mods);
}

class MainWindowKeys : public ::testing::Test
{
protected:
    MainWindowKeys()
    {
        ToolSlots toolSlots;
        toolSlots.fileEraser = [this] { return tools[0] = new KeyTool; };
        toolSlots.wipeDisk = [this] { return tools[1] = new KeyTool; };
        toolSlots.repairDisk = [this] { return tools[2] = new KeyTool; };
        toolSlots.uninstall = [this] { return tools[3] = new KeyTool; };
        toolSlots.internet = [this] { return tools[4] = new KeyTool; };
        controller = std::make_unique<MainWindowController>(toolSlots);
        controller->showWindow();
        QApplication::setActiveWindow(controller->window());
    }

    void waitForSlide() { QTRY_VERIFY_WITH_TIMEOUT(!controller->isSliding(), 2000); }
    KeyTool* shownTool() const { return tools[MainWindowController::containerIndexForTag(controller->indexSelectView())]; }

    ScopedLayout layout;
    KeyTool* tools[5] = {};
    std::unique_ptr<MainWindowController> controller;
};

TEST_F(MainWindowKeys, TheNavigationTakesTheKeyboardAndTheArrowsSwitchTools)
{
    // Shown, the window has the keyboard on the selected entry.
    QTRY_COMPARE(QApplication::focusWidget(), controller->typeButton(0));
    press(Qt::Key_Down);
    EXPECT_EQ(controller->indexSelectView(), 1);
    EXPECT_EQ(QApplication::focusWidget(), controller->typeButton(1));
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    EXPECT_EQ(controller->indexSelectView(), 3);
    press(Qt::Key_Up);
    EXPECT_EQ(controller->indexSelectView(), 2);
    EXPECT_TRUE(controller->typeButton(2)->isClick());
    for (int i = 0; i < 8; ++i)
        press(Qt::Key_Down);
    EXPECT_EQ(controller->indexSelectView(), 5) << "the last entry stays the last";
    waitForSlide();

    // A running job locks the navigation against the keys as against clicks.
    tools[0]->host->canChangeType(false);
    press(Qt::Key_Up);
    EXPECT_EQ(controller->indexSelectView(), 5);
    tools[0]->host->canChangeType(true);
    press(Qt::Key_Up);
    EXPECT_EQ(controller->indexSelectView(), 4);
}

TEST_F(MainWindowKeys, EachToolHasAShortcutThatFollowsTheLock)
{
    const QList<QAction*>& actions = controller->toolActions();
    ASSERT_EQ(actions.size(), 6);
    EXPECT_EQ(actions[3]->text(), "Disk Manager");
    for (int tag = 0; tag < 6; ++tag)
        EXPECT_EQ(actions[tag]->shortcut(), QKeySequence(QStringLiteral("Ctrl+%1").arg(tag + 1)));

    QTRY_VERIFY(QApplication::focusWidget());
    press(Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(controller->indexSelectView(), 3);
    EXPECT_EQ(QApplication::focusWidget(), controller->typeButton(3));
    waitForSlide();

    tools[0]->host->canChangeType(false);
    EXPECT_FALSE(actions[0]->isEnabled()) << "the Window menu shows them unavailable";
    press(Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(controller->indexSelectView(), 3);
    tools[0]->host->canChangeType(true);
    press(Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(controller->indexSelectView(), 0);
}

TEST_F(MainWindowKeys, TabReachesOnlyWhatIsShownOnEveryScreen)
{
    QTRY_VERIFY(QApplication::focusWidget());
    for (int tag = 0; tag < 6; ++tag) {
        SCOPED_TRACE(tag);
        press(static_cast<Qt::Key>(Qt::Key_1 + tag), Qt::ControlModifier);
        waitForSlide();
        KeyTool* shown = shownTool();
        QSet<QWidget*> seen;
        for (bool forward : {true, false}) {
            for (int i = 0; i < 20; ++i) {
                press(forward ? Qt::Key_Tab : Qt::Key_Backtab);
                QWidget* focus = QApplication::focusWidget();
                ASSERT_TRUE(focus);
                seen.insert(focus);
                ASSERT_NE(focus, shown->parked) << "Tab reached a control parked out of view";
                for (KeyTool* tool : tools)
                    if (tool != shown)
                        ASSERT_FALSE(tool->isAncestorOf(focus)) << "Tab reached a hidden tool's control";
            }
        }
        EXPECT_TRUE(seen.contains(shown->first) && seen.contains(shown->second)) << "the shown tool is reached";
        EXPECT_TRUE(seen.contains(controller->typeButton(0)) && seen.contains(controller->typeButton(5)))
            << "and the navigation";

        // The next switch starts from a control of this screen.
        shown->first->setFocus(Qt::TabFocusReason);
    }
}

TEST_F(MainWindowKeys, ASheetOverTheWindowHoldsItsShortcuts)
{
    auto* sheet = new FileEraserOpenPanel(controller->window());
    sheet->open();
    QTRY_VERIFY(sheet->isAncestorOf(QApplication::focusWidget()));
    press(Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(controller->indexSelectView(), 0) << "no tool changes under the sheet";
    press(Qt::Key_Escape);
    delete sheet;
    QTest::keyClick(controller->window(), Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(controller->indexSelectView(), 3);
}

TEST_F(MainWindowKeys, SwitchingAwayTakesTheKeyboardFromTheScreenThatLeaves)
{
    tools[0]->second->setFocus(Qt::MouseFocusReason);
    press(Qt::Key_5, Qt::ControlModifier);
    waitForSlide();
    QWidget* focus = QApplication::focusWidget();
    ASSERT_TRUE(focus);
    EXPECT_FALSE(tools[0]->isAncestorOf(focus));
    EXPECT_FALSE(tools[0]->isVisible()) << "a screen out of view is hidden";
    EXPECT_TRUE(tools[3]->isVisible());
}

TEST(MainWindowMove, APlainClickOnTheBackgroundStartsNoMove)
{
    ScopedLayout layout;
    MainWindowController controller(ToolSlots{});
    controller.showWindow();
    BaseWindow* window = controller.window();
    int requests = 0;
    window->setSystemMoveRequest([&] {
        ++requests;
        return true;
    });
    const QPoint at(600, 300);
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    EXPECT_EQ(requests, 0) << "press and release without motion";

    // A jitter below the threshold is still a click.
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    QMouseEvent jitter(QEvent::MouseMove, QPointF(at + QPoint(1, 1)), window->mapToGlobal(QPointF(at + QPoint(1, 1))),
                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &jitter);
    QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    EXPECT_EQ(requests, 0);

    // A drag hands the move over once, after the motion.
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    for (int step = 1; step <= 3; ++step) {
        const QPoint p = at + QPoint(4 * step, 3 * step);
        QMouseEvent move(QEvent::MouseMove, QPointF(p), window->mapToGlobal(QPointF(p)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(window, &move);
    }
    QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    EXPECT_EQ(requests, 1);

    // Where no window manager moves it, the window follows the drag itself.
    window->setSystemMoveRequest([] { return false; });
    const QPoint before = window->pos();
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    const QPoint to = at + QPoint(30, 20);
    QMouseEvent drag(QEvent::MouseMove, QPointF(to), window->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(window, &drag);
    QTest::mouseRelease(window, Qt::LeftButton, {}, to);
    EXPECT_EQ(window->pos(), before + QPoint(30, 20));
}

}  // namespace

namespace {

TEST(MainWindowKeysWithTools, TabStaysOnWhatEachRealScreenShows)
{
    ScopedLayout layout;
    MainWindowController controller;
    controller.showWindow();
    QApplication::setActiveWindow(controller.window());
    QTRY_COMPARE(QApplication::focusWidget(), controller.typeButton(0));
    QWidget* column = controller.typeButton(0)->parentWidget();
    bool addWoreRing = false;
    for (int tag = 0; tag < 6; ++tag) {
        SCOPED_TRACE(tag);
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(Qt::Key_1 + tag), Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!controller.isSliding(), 2000);
        QWidget* shown = controller.baseView(MainWindowController::containerIndexForTag(tag));
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            ASSERT_TRUE(focus);
            ASSERT_TRUE(column->isAncestorOf(focus) || shown->isAncestorOf(focus))
                << focus->metaObject()->className() << " " << focus->objectName().toStdString()
                << " is not on the screen shown";
            ASSERT_FALSE(focus->visibleRegion().isEmpty()) << focus->objectName().toStdString() << " is out of view";
            if (focus->objectName() == QLatin1String("mainAddButton"))
                addWoreRing = static_cast<FourStateImageButton*>(focus)->showsFocusRing();
        }
    }
    EXPECT_TRUE(addWoreRing) << "Add is reached and wears the ring";
}

}  // namespace
