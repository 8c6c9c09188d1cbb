// The keyboard in the program's panels and dialogs: Tab stays inside what is
// presented, reaches every control, and Escape and Return still work after
// any number of Tabs.
#include "About/AboutViewController.h"
#include "Main/FileEraser/FileEraserOpenPanel.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "Main/FileEraser/MakeSureFileEraserViewControoler.h"
#include "PopWindow/FocusTrap.h"
#include "PopWindow/PanelController.h"
#include "ProgressView/EndBgView.h"
#include "RepairDisk/FormatEndViewController.h"
#include "RepairDisk/FristAidViewController.h"
#include "RepairDisk/MakeSureFormatViewController.h"
#include "SetEraserLevel/ExportViewController.h"
#include "SetEraserLevel/SetEraserLevelVC.h"
#include "SetEraserLevel/SidePanelSlot.h"
#include "PanelKeys.h"
#include "TempTree.h"
#include "ToolCon/TextImageButton.h"
#include "WipeDisk/MakeSureWipeDiskViewController.h"
#include "WipeDisk/NTFSViewController.h"
#include "WipeDisk/SystemEraserViewController.h"
#include "inter/CloseBrowerViewController.h"
#include "platform/UserDefaults.h"
#include "uninstall/MakeSureUninstallViewController.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QFile>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <functional>

#include <gtest/gtest.h>

namespace {

// Presses `key` where the keyboard is, as a user does.
void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    ASSERT_TRUE(target);
    QTest::keyClick(target, key, mods);
}

// Tabs `rounds` times through the controls of `root`, forwards then back;
// every stop must be inside `root`, and every control of it must be reached.
void tabAround(QWidget* root, int rounds)
{
    FocusTrap* trap = FocusTrap::install(root);
    const QList<QWidget*> stops = trap->stops();
    ASSERT_FALSE(stops.isEmpty());
    for (bool forward : {true, false}) {
        QSet<QWidget*> seen;
        for (int i = 0; i < rounds * stops.size(); ++i) {
            press(forward ? Qt::Key_Tab : Qt::Key_Backtab);
            QWidget* focus = QApplication::focusWidget();
            ASSERT_TRUE(focus && root->isAncestorOf(focus))
                << "Tab left the panel for " << (focus ? focus->objectName().toStdString() : "nothing");
            EXPECT_TRUE(stops.contains(focus)) << focus->objectName().toStdString() << " is no visible control";
            seen.insert(focus);
        }
        EXPECT_EQ(seen.size(), stops.size()) << "every control is reached with Tab";
    }
}

class LevelHost : public SetEraserLevelVCDelegate
{
public:
    int closed = 0;
    void closeSetEraserLevelView() override { ++closed; }
};

}  // namespace

TEST(LevelPanelKeyboard, TabStaysInsideReachesEveryChoiceAndEscapeStillCloses)
{
    ScopedLayout layout;
    platform::setUserDefaultInteger(kEraserTimesKey, 1);
    // A tool's screen with its own controls, the panel's slot over it.
    QWidget window;
    window.resize(730, 580);
    auto* screen = new QWidget(&window);
    screen->setGeometry(window.rect());
    auto* add = new QPushButton(QStringLiteral("Add"), screen);
    add->setGeometry(300, 300, 80, 30);
    auto* other = new QPushButton(QStringLiteral("Empty List"), screen);
    other->setGeometry(20, 520, 80, 30);
    auto* slotView = new QWidget(&window);
    slotView->setGeometry(window.rect());
    slotView->hide();
    SidePanelSlot slot(slotView);
    window.show();
    QApplication::setActiveWindow(&window);
    add->setFocus(Qt::MouseFocusReason);

    LevelHost host;
    SetEraserLevelVC* vc = SetEraserLevelVC::presentIn(slot, &host);
    QTRY_COMPARE(slotView->pos(), QPoint(0, 0));

    const QList<QWidget*> stops = FocusTrap::install(vc)->stops();
    EXPECT_FALSE(stops.contains(add)) << "the covered Add button is no stop";
    for (QAbstractButton* choice : vc->findChildren<QToolButton*>())
        EXPECT_TRUE(stops.contains(choice)) << choice->objectName().toStdString();
    EXPECT_TRUE(stops.contains(vc->saveButton()));
    EXPECT_TRUE(stops.contains(vc->cancelButton()));
    tabAround(vc, 3);

    // The choices follow the arrow keys, and the focus shows on them.
    QAbstractButton* first = vc->choiceButton("1");
    QAbstractButton* second = vc->choiceButton("2");
    first->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), second);
    QWidget* shownRing = nullptr;
    for (QWidget* child : vc->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible() && child->testAttribute(Qt::WA_TransparentForMouseEvents))
            shownRing = child;
    ASSERT_TRUE(shownRing) << "the focused choice wears a ring";
    EXPECT_TRUE(shownRing->geometry().contains(second->mapTo(vc, second->rect().center())));
    // Return marks the focused choice, as a click does.
    press(Qt::Key_Return);
    EXPECT_EQ(vc->markedLevel(), "2");

    // Focus that slipped out to the screen underneath is taken back by Tab,
    // and Escape still closes the panel.
    add->setFocus(Qt::MouseFocusReason);
    press(Qt::Key_Tab);
    EXPECT_TRUE(vc->isAncestorOf(QApplication::focusWidget()));
    add->setFocus(Qt::MouseFocusReason);
    press(Qt::Key_Escape);
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(platform::userDefaultInteger(kEraserTimesKey), 1) << "Escape saves nothing";
}

namespace {

// One dialog as its opener builds it, and the key that must end it after
// the Tabs.
struct DialogCase
{
    const char* name;
    std::function<PanelController*()> make;
    Qt::Key key;
};

}  // namespace

TEST(DialogKeyboard, TabStaysInsideEachDialogAndItsKeyStillEndsIt)
{
    ScopedLayout layout;
    const std::vector<DialogCase> cases = {
        {"format confirmation",
         [] {
             auto* vc = new MakeSureFormatViewController;
             vc->setName("DATA", "MS-DOS (FAT32)");
             return vc;
         },
         Qt::Key_Escape},
        {"format end", [] { return new FormatEndViewController; }, Qt::Key_Return},
        {"disk action failed",
         [] { return new DiskActionFailedViewController("Unmount failed", "It is in use."); }, Qt::Key_Return},
        {"wipe confirmation", [] { return new MakeSureWipeDiskViewController; }, Qt::Key_Escape},
        {"erase confirmation", [] { return new MakeSureFileEraserViewControoler; }, Qt::Key_Escape},
        {"start-up volume notice", [] { return new SystemEraserViewController; }, Qt::Key_Return},
        {"NTFS notice", [] { return new NTFSViewController; }, Qt::Key_Escape},
        {"About", [] { return new AboutViewController; }, Qt::Key_Escape},
        {"export", [] { return new ExportViewController; }, Qt::Key_Return},
        {"close browsers", [] { return new CloseBrowerViewController; }, Qt::Key_Escape},
        {"uninstall confirmation", [] { return new MakeSureUninstallViewController; }, Qt::Key_Escape},
    };
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.name);
        QPointer<PanelController> controller = c.make();
        bool checked = false;
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(controller);
            // The offscreen platform activates no window by itself.
            QApplication::setActiveWindow(controller->window());
            controller->takeInitialFocus();
            tabAround(controller, 2);
            checked = true;
            press(c.key);
        });
        // A key that fails to end the dialog must not hang the run.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        bool timedOut = false;
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            timedOut = true;
            if (controller)
                controller->closePanel();
        });
        watchdog.start(3000);
        runModalPanel(controller, nullptr);
        EXPECT_TRUE(checked);
        EXPECT_FALSE(timedOut) << "the key did not end the dialog";
    }
}

TEST(DialogKeyboard, ReturnInTheFormatDialogContinuesAfterTabs)
{
    struct Delegate : MakeSureFormatVCDelegate
    {
        QString name, type;
        void makeSureToFormatSelectVolumeWithName(const QString& n, const QString& t) override
        {
            name = n;
            type = t;
        }
    } delegate;
    auto* vc = new MakeSureFormatViewController;
    vc->setDelegate(&delegate);
    vc->setName("DATA", "MS-DOS (FAT32)");
    QPointer<MakeSureFormatViewController> guard = vc;
    QTimer::singleShot(0, [&] {
        // The name field has the keyboard; Return there continues.
        QApplication::setActiveWindow(guard->window());
        QTRY_VERIFY(guard->findChild<QLineEdit*>());
        QLineEdit* field = guard->findChild<QLineEdit*>();
        field->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Return);
        EXPECT_EQ(delegate.name, "DATA");
        guard->closePanel();
    });
    runModalPanel(vc, nullptr);
    EXPECT_EQ(delegate.type, "MS-DOS (FAT32)");
}

TEST(EndViewKeyboard, ReturnLeavesTheEndViewOnceItIsInPlace)
{
    QWidget window;
    window.resize(730, 580);
    auto* page = new EndBgView(&window);
    page->setGeometry(730, 0, 730, 580);
    auto* back = new TextImageButton(QRect(14, 12, 30, 30), page);
    auto* ok = new TextImageButton(QRect(300, 400, 120, 30), page);
    int left = 0;
    QObject::connect(back, &QAbstractButton::clicked, [&] { ++left; });
    QObject::connect(ok, &QAbstractButton::clicked, [&] { ++left; });
    window.show();
    QApplication::setActiveWindow(&window);
    // Parked off to the side, the page ignores Return.
    QTest::keyClick(page, Qt::Key_Return);
    EXPECT_EQ(left, 0);
    // The keyboard was on the page it replaces.
    auto* before = new QPushButton(QStringLiteral("Wipe Now"), &window);
    before->show();
    before->setFocus(Qt::TabFocusReason);
    page->raise();
    page->move(0, 0);
    EXPECT_TRUE(page->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == page)
        << "the page in place takes the keyboard";
    // The button Return presses shows it with its ring.
    EXPECT_EQ(QApplication::focusWidget(), ok);
    EXPECT_TRUE(ok->showsFocusRing()) << "OK takes Return but wears no ring";
    press(Qt::Key_Return);
    EXPECT_EQ(left, 1);
    // With the page itself focused, Return presses its titled button.
    page->setFocus();
    EXPECT_EQ(page->returnButton(), ok);
}

TEST(OpenPanelKeyboard, ReturnOpensTheFolderAndAddsOnlyFiles)
{
    TempTree tree;
    QDir(tree.path()).mkpath("inner/deeper");
    QFile file(tree.path() + "/inner/notes.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    FileEraserOpenPanel panel;
    panel.setDirectory(tree.path());
    panel.show();
    QApplication::setActiveWindow(&panel);
    panel.view()->setFocus();
    QTRY_VERIFY(panel.view()->model()->rowCount(panel.view()->rootIndex()) == 1);
    panel.selectNames({"inner"});
    QTest::keyClick(panel.view(), Qt::Key_Return);
    EXPECT_EQ(panel.directory(), tree.path() + "/inner") << "Return opens the folder";
    EXPECT_TRUE(panel.isVisible()) << "and adds nothing";
    QTRY_VERIFY(panel.view()->model()->rowCount(panel.view()->rootIndex()) == 2);
    panel.selectNames({"notes.txt"});
    QTest::keyClick(panel.view(), Qt::Key_Return);
    EXPECT_EQ(panel.result(), QDialog::Accepted) << "Return on a file adds it";
    EXPECT_EQ(panel.selectedPaths(), QStringList{tree.path() + "/inner/notes.txt"});
    // The panel wears the program's dark colours.
    EXPECT_LT(panel.palette().color(QPalette::Window).lightness(), 80);
    EXPECT_LT(panel.view()->palette().color(QPalette::Base).lightness(), 80);
}

namespace {

TEST(DialogKeyboard, FirstAidStartsOnCancelAndEscapeCancelsIt)
{
    struct Delegate : FristAidVCDelegate
    {
        int asked = 0;
        void checkDiskAction() override { ++asked; }
        void repairDiskAction() override { ++asked; }
    } delegate;
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        auto* vc = new FristAidViewController;
        vc->setDelegate(&delegate);
        vc->changeAidDiskName("DATA");
        QPointer<FristAidViewController> guard = vc;
        QString startedOn;
        bool pressed = false;
        QTimer::singleShot(0, [&] {
            if (!guard || !QTest::qWaitForWindowActive(guard->window(), 1000) || !guard)
                return;
            startedOn = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
            pressed = true;
            press(key);
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        bool timedOut = false;
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            timedOut = true;
            if (guard)
                guard->closePanel();
        });
        watchdog.start(3000);
        runModalPanel(vc, nullptr);
        ASSERT_TRUE(pressed);
        EXPECT_FALSE(timedOut) << "the key did not end the confirmation";
        EXPECT_EQ(startedOn, "cancelBut")
            << "the keyboard starts on Run";
    }
    EXPECT_EQ(delegate.asked, 0) << "a key meant to cancel started First Aid";
}

TEST(DialogKeyboard, AFormatTypeIsPickedByKeysAndHfsIsNotOffered)
{
    struct Delegate : MakeSureFormatVCDelegate
    {
        QString type;
        void makeSureToFormatSelectVolumeWithName(const QString&, const QString& t) override { type = t; }
    } delegate;
    auto* vc = new MakeSureFormatViewController;
    vc->setDelegate(&delegate);
    vc->setName("DATA", "ExFAT");
    QPointer<MakeSureFormatViewController> guard = vc;
    QString typeAfterKeys;
    bool hfsOffered = true;
    QTimer::singleShot(0, [&] {
        QApplication::setActiveWindow(guard->window());
        QTRY_VERIFY(guard->window()->isActiveWindow());
        guard->typeSelectBut()->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Down);  // opens the menu on the current type
        QTRY_VERIFY(guard->formatTypeVC());
        press(Qt::Key_Down);
        press(Qt::Key_Down);  // past the last type that can be made: stays
        EXPECT_EQ(QApplication::focusWidget(), guard->typeSelectBut()) << "Down left the menu";
        hfsOffered = guard->formatTypeVC()->row(2)->isEnabled();
        press(Qt::Key_Return);
        typeAfterKeys = guard->typeLabel()->text();
        EXPECT_FALSE(guard->formatTypeVC()) << "the menu stays open after the choice";
        guard->closePanel();
    });
    runModalPanel(vc, nullptr);
    EXPECT_EQ(typeAfterKeys, "MS-DOS FAT32");
    EXPECT_FALSE(hfsOffered) << "Journaled HFS+ cannot be made here and is offered";
}

}  // namespace

namespace {

TEST(DialogKeyboard, TheFormatEndsOkWearsItsRingAndTheProgressBarNone)
{
    auto* end = new FormatEndViewController;
    end->setOutcome(true, QString());
    QPointer<FormatEndViewController> guard = end;
    bool ring = false;
    QTimer::singleShot(0, [&] {
        if (guard && QTest::qWaitForWindowActive(guard->window(), 1000) && guard)
            ring = guard->closeButton()->showsFocusRing();
        if (guard)
            guard->closePanel();
    });
    runModalPanel(end, nullptr);
    EXPECT_TRUE(ring) << "OK takes Return but wears no ring";

    struct Delegate : MakeSureFormatVCDelegate {} delegate;
    auto* format = new MakeSureFormatViewController;
    format->setDelegate(&delegate);
    format->setName("DATA", "ExFAT");
    QPointer<MakeSureFormatViewController> working = format;
    bool barFocused = true;
    bool ringShown = true;
    QTimer::singleShot(0, [&] {
        if (!working || !QTest::qWaitForWindowActive(working->window(), 1000) || !working)
            return;
        working->okButton()->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Return);
        QApplication::processEvents();
        barFocused = qobject_cast<QProgressBar*>(QApplication::focusWidget()) != nullptr;
        ringShown = false;
        for (QWidget* child : working->findChildren<QWidget*>())
            ringShown = ringShown || (child->isVisible() && child->metaObject() == &QWidget::staticMetaObject
                                      && child->testAttribute(Qt::WA_TransparentForMouseEvents));
        working->closePanel();
    });
    runModalPanel(format, nullptr);
    EXPECT_FALSE(barFocused) << "the progress bar has the keyboard";
    EXPECT_FALSE(ringShown) << "a ring is drawn while the volume is formatted";
}

}  // namespace

TEST(OpenPanelKeyboard, TheTopRowIsWhereTheKeysStart)
{
    TempTree tree;
    QDir(tree.path()).mkpath("alpha/inside");
    QDir(tree.path()).mkpath("beta");
    FileEraserOpenPanel panel;
    panel.setDirectory(tree.path());
    panel.show();
    QApplication::setActiveWindow(&panel);
    QTRY_VERIFY(panel.view()->model()->rowCount(panel.view()->rootIndex()) == 2);
    // As Tab brings the keyboard to the list: it is on the top row, unselected.
    panel.view()->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(panel.view()->currentIndex().isValid());
    ASSERT_TRUE(panel.selectedPaths().isEmpty());

    // The first Down chooses the top row instead of stepping past it.
    QTest::keyClick(panel.view(), Qt::Key_Down);
    EXPECT_EQ(panel.selectedPaths(), QStringList{tree.path() + "/alpha"});
    QTest::keyClick(panel.view(), Qt::Key_Down);
    EXPECT_EQ(panel.selectedPaths(), QStringList{tree.path() + "/beta"});

    // Return on the top folder opens it without Space first.
    panel.setDirectory(tree.path() + "/beta");
    panel.setDirectory(tree.path());
    QTRY_VERIFY(panel.view()->model()->rowCount(panel.view()->rootIndex()) == 2);
    panel.view()->setFocus(Qt::TabFocusReason);
    panel.view()->setCurrentIndex(panel.view()->model()->index(0, 0, panel.view()->rootIndex()));
    panel.view()->selectionModel()->clearSelection();
    QTest::keyClick(panel.view(), Qt::Key_Return);
    EXPECT_EQ(panel.directory(), tree.path() + "/alpha");
    EXPECT_TRUE(panel.isVisible());
}

TEST(OpenPanelLook, IsASheetDrawnInsideTheMainWindow)
{
    QWidget host;
    host.resize(960, 608);
    auto* under = new QPushButton(QStringLiteral("Under"), &host);
    under->setGeometry(300, 300, 80, 30);
    host.show();
    QApplication::setActiveWindow(&host);
    auto* panel = new FileEraserOpenPanel(&host);
    EXPECT_FALSE(panel->isWindow()) << "no window of its own for a window manager to frame or place";
    EXPECT_EQ(panel->geometry(), QRect(50, 28, 860, 558)) << "below the title strip, centred across";
    EXPECT_TRUE(host.rect().contains(panel->geometry()));
    panel->open();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_LT(panel->palette().color(QPalette::Window).lightness(), 80);
    EXPECT_EQ(panel->grab().toImage().pixelColor(400, 5).lightness(),
              panel->palette().color(QPalette::Window).lightness()) << "it paints its dark background";

    // The window beneath takes neither the pointer nor the keyboard.
    int pressed = 0;
    QObject::connect(under, &QPushButton::clicked, [&] { ++pressed; });
    QWidget* hit = host.childAt(320, 315);
    ASSERT_TRUE(hit);
    QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(&host, QPoint(320, 315)));
    EXPECT_EQ(pressed, 0);
    for (int i = 0; i < 8; ++i) {
        press(Qt::Key_Tab);
        ASSERT_TRUE(panel->isAncestorOf(QApplication::focusWidget())) << "Tab left the sheet";
    }
    QPointer<FileEraserOpenPanel> alive = panel;
    press(Qt::Key_Escape);
    EXPECT_FALSE(alive && alive->isVisible()) << "Escape closes it";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    hit = host.childAt(320, 315);
    EXPECT_EQ(hit, under) << "and the window is reachable again";
}
