// The main window by keys alone: the navigation takes the keyboard, the
// arrows and a shortcut per tool switch tools, and Tab reaches only what the
// window shows. And its background moves it only when dragged.
#include "Main/BaseWindow.h"
#include "Main/FileEraser/FileEraserOpenPanel.h"
#include "Main/MainWindowController.h"
#include "Main/ToolSlots.h"
#include "PanelKeys.h"
#include "ScratchDisplay.h"
#include "TempTree.h"
#include "ToolCon/FourStateImageButton.h"
#include "About/AboutViewController.h"
#include "AppDelegate.h"
#include "Main/FileEraser/MakeSureFileEraserViewControoler.h"
#include "PopWindow/PanelController.h"
#include "ToolCon/TextImageButton.h"
#include "WipeDisk/NTFSViewController.h"

#include <QAccessible>
#include <QAction>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
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
                for (KeyTool* tool : tools) {
                    if (tool != shown) {
                        ASSERT_FALSE(tool->isAncestorOf(focus)) << "Tab reached a hidden tool's control";
                    }
                }
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

namespace {

// Runs `controller` as the program runs its dialogs, over `mainWindow`;
// once it is up, `during` looks at its panel and the focused control gets
// `key`. Returns whether the key ended the run.
bool answerDialog(PanelController* controller, QWidget* mainWindow, Qt::Key key,
                  const std::function<void(StatusAttachedWindow*)>& during = {})
{
    return keyEndsPanel(controller, key, {mainWindow, during, 2000, false});
}

}  // namespace

TEST_F(MainWindowKeys, EveryDialogGivesTheKeyboardBackToItsOpenerAndNamesItsWindow)
{
    QWidget* window = controller->window();
    struct Case
    {
        const char* name;
        std::function<PanelController*()> make;
        Qt::Key key;
    };
    const QList<Case> cases{
        {"about", [] { return new AboutViewController; }, Qt::Key_Escape},
        {"confirmation", [] { return new MakeSureFileEraserViewControoler; }, Qt::Key_Escape},
        {"notice", [] { return new NTFSViewController; }, Qt::Key_Return},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tools[0]->second->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), tools[0]->second);
        QString title;
        QWindow* transientFor = nullptr;
        ASSERT_TRUE(answerDialog(c.make(), window, c.key, [&](StatusAttachedWindow* panel) {
            if (!panel)
                return;
            title = panel->windowTitle();
            transientFor = panel->windowHandle() ? panel->windowHandle()->transientParent() : nullptr;
            if (QGuiApplication::platformName() == QLatin1String("xcb")) {
                // What the window manager reads: the old title property too.
                QProcess xprop;
                xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(panel->winId()),
                                                      QStringLiteral("WM_NAME"), QStringLiteral("WM_TRANSIENT_FOR")});
                if (xprop.waitForFinished(5000)) {
                    const QString props = QString::fromUtf8(xprop.readAllStandardOutput());
                    EXPECT_TRUE(props.contains(QStringLiteral("WM_NAME(")) && props.contains(title)) << props.toStdString();
                    EXPECT_TRUE(props.contains(QStringLiteral("0x%1").arg(window->winId(), 0, 16))) << props.toStdString();
                }
            }
        }));
        EXPECT_FALSE(title.isEmpty()) << "window managers name the dialog by its title";
        EXPECT_EQ(transientFor, window->windowHandle()) << "and keep it with the main window";
        QTRY_COMPARE(QApplication::focusWidget(), tools[0]->second);
        EXPECT_EQ(QApplication::activeWindow(), window);
    }

    // An opener gone by the time the dialog closes: the navigation takes the keyboard.
    tools[0]->first->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), tools[0]->first);
    ASSERT_TRUE(answerDialog(new NTFSViewController, window, Qt::Key_Return,
                             [&](StatusAttachedWindow*) { tools[0]->first->hide(); }));
    QTRY_COMPARE(QApplication::focusWidget(), controller->typeButton(0));
    tools[0]->first->show();

    // Ctrl+2 and Tab work at once, without a click.
    press(Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(controller->indexSelectView(), 1);
}

TEST_F(MainWindowKeys, ReturnPressesAFocusedPictureButtonAndLockedEntriesTakeNoFocus)
{
    auto* picture = new TextImageButton(QRect(40, 300, 120, 30), tools[0]);
    picture->setTextWithName(QStringLiteral("Picture"), 12);
    picture->setButtonEnabled(true);
    picture->show();
    int clicks = 0;
    QObject::connect(picture, &QAbstractButton::clicked, [&] { ++clicks; });
    picture->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), picture);
    press(Qt::Key_Return);
    EXPECT_EQ(clicks, 1) << "Return presses it, as Space does";
    press(Qt::Key_Space);
    EXPECT_EQ(clicks, 2);
    picture->setButtonEnabled(false);
    picture->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Return);
    EXPECT_EQ(clicks, 2) << "a button that ignores clicks ignores Return too";

    // A run locks the navigation: Tab passes every entry but the chosen one.
    tools[0]->host->canChangeType(false);
    tools[0]->first->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 12; ++i) {
        press(Qt::Key_Tab);
        for (int tag = 1; tag < 6; ++tag)
            ASSERT_NE(QApplication::focusWidget(), controller->typeButton(tag)) << "a locked entry took the keyboard";
    }
    tools[0]->host->canChangeType(true);
    EXPECT_EQ(controller->typeButton(3)->focusPolicy(), Qt::TabFocus);
}

TEST(MainWindowAccessibility, EveryButtonAndNavigationEntryHasAName)
{
    ScopedLayout layout;
    ToolSlots toolSlots;
    toolSlots.fileEraser = [] { return makeFileEraserTool(); };
    MainWindowController controller(toolSlots);
    controller.showWindow();
    QList<QWidget*> named;
    for (QAbstractButton* b : controller.window()->findChildren<QAbstractButton*>())
        if (!b->inherits("QTableCornerButton"))  // the table's own, never shown here
            named << b;
    for (int tag = 0; tag < 6; ++tag)
        named << controller.typeButton(tag);
    ASSERT_GT(named.size(), 15);
    for (QWidget* w : named) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        ASSERT_TRUE(face) << w->objectName().toStdString();
        EXPECT_FALSE(face->text(QAccessible::Name).isEmpty())
            << w->metaObject()->className() << " " << w->objectName().toStdString() << " has no name";
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(controller.typeButton(3))->text(QAccessible::Name), "Disk Manager");
    auto* add = controller.window()->findChild<QWidget*>(QStringLiteral("mainAddButton"));
    ASSERT_TRUE(add);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(add)->text(QAccessible::Name), "Add");
}

TEST(MainWindowLook, ToolTipsFollowTheDarkPalette)
{
    ScopedLayout layout;
    AppDelegate delegate;
    delegate.awakeFromNib();
    QWidget host;
    host.resize(200, 100);
    host.show();
    QToolTip::showText(host.mapToGlobal(QPoint(20, 20)), QStringLiteral("A tip of some length"), &host);
    QWidget* tip = nullptr;
    QTRY_VERIFY((tip = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QTipLabel") && w->isVisible())
                return w;
        return static_cast<QWidget*>(nullptr);
    }()));
    const QImage image = tip->grab().toImage();
    EXPECT_LT(qGray(image.pixel(image.width() / 2, 3)), 90) << "the tip's body is dark";
    QToolTip::hideText();
}

TEST(MainWindowPlacement, TheWindowGoesInsideTheScreenAndTheScaleIsLoweredToFit)
{
    // Centred when it fits; never with an edge off the screen.
    EXPECT_EQ(MainWindowController::placedOnScreen(QRect(0, 0, 960, 608), QRect(0, 0, 1920, 1040)), QPoint(480, 216));
    EXPECT_EQ(MainWindowController::placedOnScreen(QRect(0, 0, 960, 608), QRect(0, 28, 960, 512)), QPoint(0, 28));
    EXPECT_EQ(MainWindowController::placedOnScreen(QRect(0, 0, 960, 608), QRect(100, 50, 900, 700)), QPoint(100, 96));
    // At scale 2 on 1920x1080 the screen is 960x540 of the window's pixels.
    EXPECT_EQ(AppDelegate::fittingScale(QSize(960, 608), QSize(960, 540), 2.0), 1.77);
    EXPECT_EQ(AppDelegate::fittingScale(QSize(960, 608), QSize(800, 500), 1.0), 0.82);
    EXPECT_EQ(AppDelegate::fittingScale(QSize(960, 608), QSize(1280, 720), 1.5), 0.0) << "fits: left alone";
}

TEST(DialogFocus, UnderAWindowManagerTheKeyboardComesBackToo)
{
    ScratchDisplay x(QStringLiteral("1280x800"));
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (x.display().isEmpty() || openbox.isEmpty())
        GTEST_SKIP() << "needs Xvfb and openbox";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", x.display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    QProcess wm;
    wm.setProcessEnvironment(env);
    wm.start(openbox, {QStringLiteral("--sm-disable")});
    ASSERT_TRUE(wm.waitForStarted(5000));
    QTest::qWait(1000);  // openbox takes the screen
    QProcess run;
    run.setProcessEnvironment(env);
    run.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=MainWindowKeys.EveryDialogGivesTheKeyboardBackToItsOpenerAndNamesItsWindow")});
    const bool ended = run.waitForFinished(60000);
    wm.terminate();
    wm.waitForFinished(5000);
    ASSERT_TRUE(ended);
    const QString out = QString::fromUtf8(run.readAllStandardOutput());
    EXPECT_EQ(run.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
}
