// The wiper's screen on a real loop volume: chosen in the list, Wipe Now,
// confirmed, run to its end view, recorded in the history as "Erased".
#include "WipeProof.h"

#include "SetEraserLevel/DoDataBase.h"
#include "FakeTool.h"
#include "TempTree.h"
#include "WipeDisk/MakeSureWipeDiskViewController.h"
#include "WipeDisk/MakeSureWipeFreeSpaceViewController.h"
#include "WipeDisk/SystemEraserViewController.h"
#include "WipeDisk/VolumeGoneNotice.h"
#include "WipeDisk/WipeDiskViewController.h"
#include "WipeDisk/WipeVolumes.h"
#include "WipeDisk/WipeVolumeTableModel.h"
#include "Comm/PublicUtilities.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "platform/UserDefaults.h"
#include "PopWindow/PanelController.h"
#include "ToolCon/TextImageButton.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QTableView>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include "platform/NotificationCenter.h"
#include <QSignalSpy>
#include <QTest>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>
#include <QMap>
#include <QScrollBar>
#include <QProgressBar>

#include <functional>

#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

using namespace wipeproof;

namespace {

// Presses "Continue" in the confirmation once it is up.
void confirmWhenShown()
{
    QTimer::singleShot(300, [] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* dialog = top->findChild<MakeSureWipeDiskViewController*>()) {
                dialog->okButtonAction();
                return;
            }
        confirmWhenShown();
    });
}

// The screen on the staged diskutil, loop volumes listed as USB sticks.
std::unique_ptr<WipeDiskViewController> realScreen(DoDataBase* store)
{
    platform::DiskTool::setDefaultProgram(diskutilPath());
    platform::DiskTool::setShowLoopAsUsb(true);
    auto screen = std::make_unique<WipeDiskViewController>(nullptr, store);
    platform::DiskTool::setDefaultProgram(QString());
    platform::DiskTool::setShowLoopAsUsb(false);
    screen->setSrmPath(srmPath());
    screen->resize(730, 580);
    return screen;
}

// The same in Wipe Hard Drive with its first scan done; nothing when the scan
// never ends.
std::unique_ptr<WipeDiskViewController> wholeDriveScreen(DoDataBase& store)
{
    auto screen = realScreen(&store);
    screen->show();
    screen->changeFormatOrFreeSpaceView(1);  // Wipe Hard Drive
    QSignalSpy scanned(screen.get(), &WipeDiskViewController::scanEnded);
    if (screen->isScanV() && !scanned.wait(60000))
        return nullptr;
    return screen;
}

// A mounted loop volume holding a file of markers, its blocks kept on the
// image (no discard) so that what a wipe leaves can be read off it.
bool mountWithMarkers(LoopVolume& vol, qint64 bytes)
{
    return vol.ok() && disableDiscard(vol.device()) && vol.mount() && writeMarkerFile(vol.mountPoint() + "/old.bin", bytes);
}

TEST(WipeDiskScreen, WipesTheChosenVolumeAndRecordsIt)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 256, QStringLiteral("TVS%1").arg(::getpid() % 100000));
    ASSERT_TRUE(mountWithMarkers(vol, 16 << 20)) << vol.error().toStdString();

    TempTree tree;
    DoDataBase store(tree / "DataBase.db");
    const std::unique_ptr<WipeDiskViewController> owner = wholeDriveScreen(store);
    ASSERT_TRUE(owner) << "the volume list never came";
    WipeDiskViewController& screen = *owner;
    EXPECT_EQ(screen.selectEraserType(), 2);
    QSignalSpy scanned(&screen, &WipeDiskViewController::scanEnded);
    ASSERT_TRUE(screen.selectDevice(vol.device())) << "the loop volume is not listed";
    // A rescan (another volume came or went) keeps the choice by its device,
    // and leaves the list where the user scrolled it, also away from the
    // chosen row: it is not scrolled back under the pointer.
    auto* table = screen.findChild<QTableView*>("parTableView");
    table->setFixedHeight(table->horizontalHeader()->height() + 56);
    QApplication::processEvents();
    const int chosenRow = int(screen.allVolumeArr().indexOf(screen.selectVolumeObj()));
    QScrollBar* bar = table->verticalScrollBar();
    if (bar->maximum() > 0)
        bar->setValue(chosenRow > 0 ? 0 : bar->maximum());
    const int scrolled = bar->value();
    const int asked = screen.requestScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.scanCovers(asked); }, 60000));
    ASSERT_TRUE(screen.selectVolumeObj());
    EXPECT_EQ(screen.selectVolumeObj()->volumePath, vol.device());
    const int row = int(screen.allVolumeArr().indexOf(screen.selectVolumeObj()));
    ASSERT_GE(row, 0);
    QApplication::processEvents();
    if (row == chosenRow) {  // other tests' volumes come and go too
        EXPECT_EQ(bar->value(), scrolled) << "the rescan scrolled the list";
    }

    QSignalSpy ended(&screen, &WipeDiskViewController::runEnded);
    confirmWhenShown();
    screen.wipeButtonAction();
    ASSERT_TRUE(screen.isRunning()) << "the confirmation did not start a run";
    EXPECT_EQ(screen.findChild<QLabel*>("sEraserDiskNameLabel")->text(), screen.selectVolumeObj()->volumeName);
    ASSERT_TRUE(ended.wait(240000));

    const QString mountedAt = screen.currentRun()->fillMountPoint();
    EXPECT_EQ(screen.lastResultText(), "Erased") << screen.lastFailReason().toStdString();
    EXPECT_FALSE(screen.findChild<QWidget*>("wipeSussView")->isHidden());
    const HistoryRuns runs = store.getAllData();
    ASSERT_EQ(runs.size(), 1);
    bool recorded = false;
    for (const auto& row : runs.first())
        recorded = recorded || (row.result == "Erased" && row.items.contains(vol.device()));
    EXPECT_TRUE(recorded) << "no history row says the volume was erased";

    EXPECT_TRUE(unmountWiped(vol.device(), mountedAt));
    vol.unmount();
    EXPECT_EQ(countInImage(vol.image(), marker()), 0);
}

// Mounted here and in a mount namespace of its own (a private copy): the
// erase is refused before the volume is unmounted here, and the failure page
// says nothing was erased.
TEST(WipeDiskScreen, AVolumeAlsoMountedElsewhereIsNotErasedAndStaysMountedHere)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 64, QStringLiteral("TVE%1").arg(::getpid() % 100000));
    ASSERT_TRUE(vol.ok() && vol.mount()) << vol.error().toStdString();
    ASSERT_TRUE(writeMarkerFile(vol.mountPoint() + "/keep.bin", 1 << 20));
    ::sync();
    MountNamespace other(vol.device());
    ASSERT_TRUE(other.ok()) << other.error().toStdString();
    const QByteArray kept = other.read(vol.mountPoint() + "/keep.bin");
    ASSERT_EQ(kept.size(), 1 << 20);

    TempTree tree;
    DoDataBase store(tree / "DataBase.db");
    const std::unique_ptr<WipeDiskViewController> owner = wholeDriveScreen(store);
    ASSERT_TRUE(owner) << "the volume list never came";
    WipeDiskViewController& screen = *owner;
    ASSERT_TRUE(screen.selectDevice(vol.device())) << "the loop volume is not listed";
    QSignalSpy ended(&screen, &WipeDiskViewController::runEnded);
    confirmWhenShown();
    screen.wipeButtonAction();
    ASSERT_TRUE(screen.isRunning()) << "the confirmation did not start a run";
    ASSERT_TRUE(ended.wait(120000));

    EXPECT_EQ(screen.lastResultText(), "Failed");
    const QString reason = screen.findChild<QLabel*>("failReasonLabel")->text();
    EXPECT_TRUE(reason.contains("Nothing was erased.")) << reason.toStdString();
    EXPECT_TRUE(reason.contains(QStringLiteral("mount namespace of process %1").arg(other.pid()))) << reason.toStdString();
    EXPECT_FALSE(reason.contains("reformatted")) << reason.toStdString();
    EXPECT_FALSE(screen.currentRun()->erased());
    EXPECT_EQ(LoopVolume::run("mountpoint", {"-q", vol.mountPoint()}), 0) << "left unmounted";
    EXPECT_EQ(other.read(vol.mountPoint() + "/keep.bin"), kept);
    QFile here(vol.mountPoint() + "/keep.bin");
    ASSERT_TRUE(here.open(QIODevice::ReadOnly));
    EXPECT_EQ(here.readAll(), kept);
    const HistoryRuns runs = store.getAllData();
    ASSERT_EQ(runs.size(), 1);
    bool recordedFailed = false;
    for (const auto& row : runs.first())
        recordedFailed = recordedFailed || (row.result == "Failed" && row.items.contains(vol.device()));
    EXPECT_TRUE(recordedFailed) << "the history does not say the wipe failed";
}

int rowOfDevice(const WipeDiskViewController& screen, const QString& device)
{
    for (int row = 0; row < screen.allVolumeArr().size(); ++row)
        if (screen.allVolumeArr().at(row)->volumePath == device)
            return row;
    return -1;
}

TEST(WipeDiskScreen, AMountDuringAScanKeepsTheRowsInPlaceAndAChangedRowTakesNoClick)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    // The scans are the ones asked for here: a rescan for another test's
    // mount would change rows between the two clicks.
    const QSignalBlocker quiet(&platform::NotificationCenter::defaultCenter());
    std::vector<std::unique_ptr<LoopVolume>> volumes;
    for (int i = 0; i < 3; ++i) {
        volumes.push_back(std::make_unique<LoopVolume>("ext4", 16, QStringLiteral("TVR%1%2").arg(i).arg(::getpid() % 10000)));
        ASSERT_TRUE(volumes.back()->ok() && volumes.back()->mount()) << volumes.back()->error().toStdString();
    }
    TempTree tree;
    DoDataBase store(tree / "DataBase.db");
    auto screen = realScreen(&store);
    screen->show();
    screen->changeFormatOrFreeSpaceView(2);  // nothing chosen
    QSignalSpy scanned(screen.get(), &WipeDiskViewController::scanEnded);
    const int first = screen->requestScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->scanCovers(first); }, 60000));
    for (const auto& v : volumes)
        ASSERT_GE(rowOfDevice(*screen, v->device()), 0) << "a loop volume is not listed";
    auto* table = screen->findChild<QTableView*>("parTableView");
    table->setFixedHeight(table->horizontalHeader()->height() + 2 * 54);
    QApplication::processEvents();
    QScrollBar* bar = table->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());
    const int scrolled = bar->value();
    // A volume is its device with the medium in it: under other tests a
    // device node goes and comes back holding another volume.
    auto identity = [](const VolumeObj& v) {
        return QStringLiteral("%1|%2|%3").arg(v.volumePath).arg(v.diskSequence).arg(v.fileSystemUUID);
    };
    auto rowOfIdentity = [&](const QString& id) {
        for (int row = 0; row < screen->allVolumeArr().size(); ++row)
            if (identity(*screen->allVolumeArr().at(row)) == id)
                return row;
        return -1;
    };
    QStringList before;
    for (const VolumeObjPtr& v : screen->allVolumeArr())
        before << identity(*v);

    LoopVolume added("ext4", 16, QStringLiteral("TVN%1").arg(::getpid() % 100000));
    ASSERT_TRUE(added.ok() && added.mount()) << added.error().toStdString();
    const int asked = screen->requestScan();
    EXPECT_EQ(table->model()->rowCount(), before.size()) << "the list was emptied for the scan";
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->scanCovers(asked); }, 60000));
    const int addedRow = rowOfDevice(*screen, added.device());
    ASSERT_GE(addedRow, 0);
    // The rows that stayed keep their order, and the new one comes after them.
    int last = -1;
    bool allStayed = true;
    for (const QString& volume : before) {
        const int row = rowOfIdentity(volume);
        allStayed = allStayed && row >= 0;
        if (row < 0)
            continue;
        EXPECT_GT(row, last) << volume.toStdString() << " moved";
        EXPECT_LT(row, addedRow);
        last = row;
    }
    QApplication::processEvents();
    if (allStayed) {  // other tests' volumes come and go too
        EXPECT_EQ(bar->value(), scrolled) << "the list scrolled under the pointer";
    }
    EXPECT_FALSE(screen->selectVolumeObj());

    // A click on the row that just came chooses nothing; a moment later it does.
    table->scrollTo(table->model()->index(addedRow, WipeVolumeTableModel::Name));
    const QPoint at = table->visualRect(table->model()->index(addedRow, WipeVolumeTableModel::Name)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
    EXPECT_FALSE(screen->selectVolumeObj()) << "a row that changed under the pointer was chosen";
    QTest::qWait(WipeVolumeTableModel::kSettleMs + 100);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
    ASSERT_TRUE(screen->selectVolumeObj());
    EXPECT_EQ(screen->selectVolumeObj()->volumePath, added.device());

    // The last row goes while the list is scrolled to its end: the rows in
    // view move down a place, and a click on one at once chooses nothing.
    QTest::qWait(WipeVolumeTableModel::kSettleMs + 100);
    table->scrollTo(table->model()->index(addedRow, WipeVolumeTableModel::Name));
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    // Which volume is at each place in view before.
    QMap<int, QString> placed;
    for (int row = 0; row < screen->allVolumeArr().size(); ++row) {
        const int y = table->rowViewportPosition(row);
        if (y >= 0 && y + 20 < table->viewport()->height())
            placed.insert(y, screen->allVolumeArr().at(row)->volumePath);
    }
    ASSERT_FALSE(placed.isEmpty());
    bool changedUnder = false, clicked = false;
    QObject::connect(screen.get(), &WipeDiskViewController::scanEnded, screen.get(), [&] {
        if (clicked || rowOfDevice(*screen, added.device()) >= 0)
            return;
        clicked = true;
        // A place in view that now shows another volume than before (the
        // rows moved, or another test's volume took the place of ours).
        for (auto at = placed.cbegin(); at != placed.cend() && !changedUnder; ++at) {
            const int under = table->rowAt(at.key() + 20);
            if (under < 0 || screen->allVolumeArr().at(under)->volumePath == at.value())
                continue;
            changedUnder = true;
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, QPoint(table->columnViewportPosition(1) + 20, at.key() + 20));
        }
    });
    ASSERT_TRUE(added.unmount());
    screen->getallVolumes();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicked; }, 60000));
    if (!changedUnder)
        GTEST_SKIP() << "other tests' volumes came and went as ours went: every place in view shows what it showed";
    EXPECT_FALSE(screen->selectVolumeObj()) << "a row that changed under the pointer was chosen";
}

TEST(WipeDiskScreen, ACancelledWholeDriveWipeSaysHowManyPassesEnded)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    ScopedLayout layout;  // a settings file of its own: seven passes
    platform::setUserDefaultInteger(kEraserTimesKey, 7);
    LoopVolume vol("ext4", 64, QStringLiteral("TVP%1").arg(::getpid() % 100000));
    ASSERT_TRUE(mountWithMarkers(vol, 8 << 20)) << vol.error().toStdString();
    TempTree tree;
    DoDataBase store(tree / "DataBase.db");
    const std::unique_ptr<WipeDiskViewController> screen = wholeDriveScreen(store);
    ASSERT_TRUE(screen) << "the volume list never came";
    ASSERT_TRUE(screen->selectDevice(vol.device()));
    screen->makeSureToWipeSelectVolume();  // as the confirmation's Continue does
    ASSERT_TRUE(screen->currentRun());
    // Cancelled in the third pass: two went over the whole free space.
    int passesEnded = 0;
    QObject::connect(screen->currentRun(), &WipeRun::passEnded, screen.get(), [&](int pass, int) {
        passesEnded = pass;
        if (pass == 2)
            screen->cancelWipeDiskButtonAction();
    });
    QSignalSpy ended(screen.get(), &WipeDiskViewController::runEnded);
    ASSERT_TRUE(ended.wait(300000));
    const QString mountedAt = screen->currentRun()->fillMountPoint();
    EXPECT_EQ(screen->lastResultText(), "Failed");
    ASSERT_GE(passesEnded, 2);
    ASSERT_LT(passesEnded, 7) << "the run ended before the cancel was seen";
    const QString said = screen->failPageReason();
    EXPECT_TRUE(said.contains(QStringLiteral("%1 of 7 passes").arg(passesEnded))) << said.toStdString();
    EXPECT_FALSE(said.contains("not overwritten")) << said.toStdString();
    EXPECT_TRUE(unmountWiped(vol.device(), mountedAt));
    vol.unmount();
    EXPECT_EQ(countInImage(vol.image(), marker()), 0);
}

// Presses Return on whatever has the keyboard in the wipe confirmation.
void returnWhenShown(int tries = 600)
{
    QTimer::singleShot(100, [tries] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* dialog = top->findChild<MakeSureWipeDiskViewController*>(); dialog && top->isVisible()) {
                if (QTest::qWaitForWindowActive(top, 1000)) {
                    QWidget* focus = QApplication::focusWidget();
                    QTest::keyClick(focus && dialog->isAncestorOf(focus) ? focus : dialog, Qt::Key_Return);
                    return;
                }
            }
        if (tries > 0)
            returnWhenShown(tries - 1);
    });
}

TEST(WipeDiskScreen, AVolumeIsWipedByKeysAlone)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 64, QStringLiteral("TVK%1").arg(::getpid() % 100000));
    ASSERT_TRUE(mountWithMarkers(vol, 8 << 20)) << vol.error().toStdString();
    TempTree tree;
    DoDataBase store(tree / "DataBase.db");
    const std::unique_ptr<WipeDiskViewController> screen = wholeDriveScreen(store);
    ASSERT_TRUE(screen) << "the volume list never came";
    screen->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
    ASSERT_GE(rowOfDevice(*screen, vol.device()), 0);

    auto* table = screen->findChild<QTableView*>("parTableView");
    auto* wipe = screen->findChild<TextImageButton*>("wipeButton");
    auto key = [&](Qt::Key k) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : screen.get(), k);
    };
    for (int i = 0; i < 30 && QApplication::focusWidget() != table; ++i)
        key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), table) << "Tab does not reach the list";
    // A list that shows two rows at a time: each row the arrows choose is
    // shown whole, none left half under the header.
    table->setFixedHeight(table->horizontalHeader()->height() + 2 * 54);
    QApplication::processEvents();
    for (int i = 0; i <= screen->allVolumeArr().size(); ++i) {
        if (screen->selectVolumeObj() && screen->selectVolumeObj()->volumePath == vol.device())
            break;
        key(Qt::Key_Down);
        QApplication::processEvents();
        if (const VolumeObjPtr chosen = screen->selectVolumeObj()) {
            const int row = int(screen->allVolumeArr().indexOf(chosen));
            const QRect shown = table->visualRect(table->model()->index(row, WipeVolumeTableModel::Name));
            EXPECT_TRUE(table->viewport()->rect().contains(shown)) << "row " << row << " is not shown whole";
        }
    }
    ASSERT_TRUE(screen->selectVolumeObj()) << "the arrows choose nothing";
    ASSERT_EQ(screen->selectVolumeObj()->volumePath, vol.device());
    key(Qt::Key_Space);  // chooses the same row again
    EXPECT_EQ(screen->selectVolumeObj()->volumePath, vol.device());
    for (int i = 0; i < 30 && QApplication::focusWidget() != wipe; ++i)
        key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), wipe) << "Tab does not reach Wipe Now";

    QSignalSpy ended(screen.get(), &WipeDiskViewController::runEnded);
    returnWhenShown();
    key(Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->currentRun() != nullptr; }, 60000)) << "no run started";
    EXPECT_EQ(screen->currentRun()->volume()->volumePath, vol.device());
    ASSERT_TRUE(ended.wait(240000));
    const QString mountedAt = screen->currentRun()->fillMountPoint();
    EXPECT_EQ(screen->lastResultText(), "Erased") << screen->lastFailReason().toStdString();
    EXPECT_TRUE(unmountWiped(vol.device(), mountedAt));
    vol.unmount();
    EXPECT_EQ(countInImage(vol.image(), marker()), 0);
}

}  // namespace

namespace {

// A stand-in diskutil describing every device as one volume, /dev/fake1,
// mounted at `mountPoint`; while the file "gone" exists it knows no device.
// Every other command is noted in "called" and ends with `status`.
QString fakeDiskutil(const TempTree& tree, bool system, const QString& mountPoint = "/srv/data", int status = 1)
{
    const QString script = tree / "diskutil";
    QFile f(script);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do [ \"$a\" = info ] && { [ -e '%4' ] && exit 1; cat <<'EOF'\n"
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                           "<key>VolumeName</key><string>Data</string><key>DeviceNode</key><string>/dev/fake1</string>"
                           "<key>FilesystemName</key><string>ext4</string><key>BusProtocol</key><string>USB</string>"
                           "<key>MountPoint</key><string>%3</string><key>SystemVolume</key><%1/></dict></plist>\n"
                           "EOF\nexit 0; }; done\necho \"$@\" >> '%2'\nexit %5\n")
                .arg(system ? "true" : "false", tree / "called", mountPoint, tree / "gone")
                .arg(status)
                .toUtf8());
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return script;
}

TEST(WipeDiskScreen, TheFirstListIsReadOnceTheEventLoopRuns)
{
    ScopedLayout layout;
    // Loop volumes other tests mount meanwhile would rescan too: only the
    // requests made here count.
    const QSignalBlocker quiet(&platform::NotificationCenter::defaultCenter());
    TempTree tree;
    DoDataBase store(tree / "DataBase.db");
    FakeTool diskutil("diskutil", "echo \"$*\" >> \"$LOG\"\nexit 1\n");
    platform::DiskTool::setDefaultProgram(diskutil.path());
    WipeDiskViewController screen(nullptr, &store);
    platform::DiskTool::setDefaultProgram(QString());
    // Anything started in the background has had its time.
    QThreadPool::globalInstance()->waitForDone(10000);
    EXPECT_EQ(diskutil.log(), "") << "diskutil ran while the program was still starting";
    EXPECT_TRUE(screen.isScanV()) << "the pending list is not shown as coming";

    // A mount seen meanwhile is the pending scan, not a second one.
    screen.getallVolumes();
    QSignalSpy scanned(&screen, &WipeDiskViewController::scanEnded);
    ASSERT_TRUE(scanned.wait(30000));
    EXPECT_TRUE(diskutil.log().contains("info -plist /dev/")) << diskutil.log().toStdString();
    EXPECT_FALSE(scanned.wait(500)) << "the request during the wait scanned again";
}

// A volume that goes while a scan is reading: the scan under way read it
// before it went, so the list the screen ends with comes from a later one.
TEST(WipeDiskScreen, AChangeDuringAScanIsInTheListItEndsWith)
{
    ScopedLayout layout;
    const QSignalBlocker quiet(&platform::NotificationCenter::defaultCenter());
    TempTree tree;
    DoDataBase store(tree / "DataBase.db");
    const QString gone = tree / "gone";
    const QString started = tree / "started";
    FakeTool diskutil("diskutil", QStringLiteral(
        "for a in \"$@\"; do [ \"$a\" = info ] && { [ -e '%1' ] && exit 1; touch '%2'; sleep 0.3; cat <<'EOF'\n"
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
        "<key>VolumeName</key><string>Data</string><key>DeviceNode</key><string>/dev/fake1</string>"
        "<key>FilesystemName</key><string>ext4</string><key>BusProtocol</key><string>USB</string>"
        "<key>MountPoint</key><string>/srv/data</string><key>SystemVolume</key><false/></dict></plist>\n"
        "EOF\nexit 0; }; done\nexit 1\n").arg(gone, started));
    platform::DiskTool::setDefaultProgram(diskutil.path());
    WipeDiskViewController screen(nullptr, &store);
    platform::DiskTool::setDefaultProgram(QString());
    QSignalSpy scanned(&screen, &WipeDiskViewController::scanEnded);
    ASSERT_TRUE(scanned.wait(30000));
    if (rowOfDevice(screen, "/dev/fake1") < 0)
        GTEST_SKIP() << "no block-device volume is mounted here";

    QFile::remove(started);
    screen.getallVolumes();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(started); }, 10000));
    QFile(gone).open(QIODevice::WriteOnly);  // the volume goes while the scan reads
    const int asked = screen.requestScan();    // and the watcher says so
    // The scan under way may end first with the volume still in it; the
    // one the change asked for follows and takes it away.
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.scanCovers(asked); }, 30000));
    EXPECT_EQ(rowOfDevice(screen, "/dev/fake1"), -1) << "the list ends with a scan older than the change";
    EXPECT_FALSE(screen.isScanV());
}

struct FakeScreen
{
    ScopedLayout layout;  // a settings file of its own
    TempTree tree;
    std::unique_ptr<DoDataBase> store;
    std::unique_ptr<WipeDiskViewController> screen;

    // `history` is the history file; an unwritable one when it names a folder.
    bool open(bool system, const QString& mountPoint = "/srv/data", int status = 1, QString history = QString())
    {
        if (history.isEmpty())
            history = tree / "DataBase.db";
        store = std::make_unique<DoDataBase>(history);
        platform::DiskTool::setDefaultProgram(fakeDiskutil(tree, system, mountPoint, status));
        screen = std::make_unique<WipeDiskViewController>(nullptr, store.get());
        platform::DiskTool::setDefaultProgram(QString());
        QSignalSpy scanned(screen.get(), &WipeDiskViewController::scanEnded);
        if (screen->isScanV() && !scanned.wait(30000))
            return false;
        return screen->selectDevice("/dev/fake1");
    }
    bool called() const { return QFileInfo::exists(tree / "called"); }
    QLabel* label(const char* name) const { return screen->findChild<QLabel*>(name); }
    bool runToEnd() const
    {
        QSignalSpy ended(screen.get(), &WipeDiskViewController::runEnded);
        return !screen->isRunning() || ended.wait(30000);
    }
};

// Closes the first dialog of type T once it is up; notes which one came.
template <typename T>
void closeWhenShown(bool* seen, int tries = 40)
{
    QTimer::singleShot(100, [seen, tries] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* dialog = top->findChild<PanelController*>()) {
                *seen = *seen || qobject_cast<T*>(dialog) != nullptr;
                dialog->closePanel();
                return;
            }
        if (tries > 0)
            closeWhenShown<T>(seen, tries - 1);
    });
}

template <typename T>
T* dialogOnScreen()
{
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* dialog = top->findChild<T*>(); dialog && top->isVisible())
            return dialog;
    return nullptr;
}

TEST(WipeDiskScreen, SystemVolumeGetsTheNoticeAndIsNotLeftChosen)
{
    FakeScreen fake;
    if (!fake.open(true))
        GTEST_SKIP() << "no block-device volume is mounted here";
    fake.screen->changeFormatOrFreeSpaceView(1);
    ASSERT_TRUE(fake.screen->selectDevice("/dev/fake1"));
    bool notice = false;
    closeWhenShown<SystemEraserViewController>(&notice);
    fake.screen->wipeButtonAction();
    EXPECT_TRUE(notice) << "the system volume was not refused with its notice";
    EXPECT_FALSE(fake.screen->isRunning());
    EXPECT_FALSE(fake.called());
    // Refused, so not chosen: neither here nor in the other tool.
    EXPECT_FALSE(fake.screen->selectVolumeObj());
    EXPECT_FALSE(fake.screen->findChild<TextImageButton*>("wipeButton")->buttonEnabled());
    fake.screen->changeFormatOrFreeSpaceView(2);
    EXPECT_FALSE(fake.screen->selectVolumeObj());
    EXPECT_FALSE(fake.screen->findChild<TextImageButton*>("wipeButton")->buttonEnabled());
}

TEST(WipeDiskScreen, TheListShowsItsFocusAndDownFromNoChoiceChoosesAndShowsTheFirstRow)
{
    FakeScreen fake;
    if (!fake.open(false))
        GTEST_SKIP() << "no block-device volume is mounted here";
    fake.screen->changeFormatOrFreeSpaceView(2);  // nothing chosen
    fake.screen->show();
    fake.screen->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fake.screen.get()));
    auto* table = fake.screen->findChild<QTableView*>("parTableView");
    ASSERT_TRUE(table);
    const QPoint edge(1, table->height() / 2);
    table->clearFocus();
    ASSERT_FALSE(table->hasFocus());
    const QRgb without = table->grab().toImage().pixel(edge);
    table->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(table->hasFocus());
    EXPECT_NE(table->grab().toImage().pixel(edge), without) << "the list looks the same with the keyboard on it";

    ASSERT_FALSE(fake.screen->selectVolumeObj());
    QTest::keyClick(table, Qt::Key_Down);
    ASSERT_TRUE(fake.screen->selectVolumeObj()) << "Down chose nothing";
    EXPECT_EQ(fake.screen->selectVolumeObj(), fake.screen->allVolumeArr().first());
    QApplication::processEvents();
    const QRect row = table->visualRect(table->model()->index(0, WipeVolumeTableModel::Name));
    EXPECT_TRUE(table->viewport()->rect().contains(row)) << "the chosen row is not wholly in view";
}

TEST(WipeDiskScreen, AVolumeChosenInOneToolIsNotChosenInTheOther)
{
    FakeScreen fake;
    if (!fake.open(false))
        GTEST_SKIP() << "no block-device volume is mounted here";
    fake.screen->changeFormatOrFreeSpaceView(2);
    ASSERT_TRUE(fake.screen->selectDevice("/dev/fake1"));
    fake.screen->changeFormatOrFreeSpaceView(1);
    EXPECT_FALSE(fake.screen->selectVolumeObj());
    // Nor after a rescan, which chooses again only what this tool chose.
    const int asked = fake.screen->requestScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake.screen->scanCovers(asked); }, 30000));
    EXPECT_FALSE(fake.screen->selectVolumeObj());
    fake.screen->wipeButtonAction();
    EXPECT_FALSE(fake.screen->isRunning());
    EXPECT_FALSE(fake.called());
}

TEST(WipeDiskScreen, TheFreeSpaceDescriptionLeavesNoWordAlone)
{
    FakeScreen fake;
    fake.open(false);
    QLabel* note = fake.label("wipeFreeSpaceNodeViewNote");
    ASSERT_TRUE(note);
    // One line: the sentence is short enough, and a lone "stay." on a second
    // line reads as a fault.
    EXPECT_LE(note->fontMetrics().horizontalAdvance(note->text()), note->width() - 2 * note->margin());
}

TEST(WipeDiskScreen, TheScanBarIsBesideTheDescriptionNotOverTheRows)
{
    FakeScreen fake;
    fake.open(false);
    auto* bar = fake.screen->findChild<QProgressBar*>("loadPro");
    auto* table = fake.screen->findChild<QTableView*>("parTableView");
    ASSERT_TRUE(bar && table);
    EXPECT_LE(bar->geometry().bottom(), table->y()) << "the scan bar lies over the rows";
    for (const char* name : {"wipeFreeSpaceNodeViewNote", "wipeHardNodeViewNote", "wipeFreeSpaceNodeViewTitle"}) {
        QLabel* text = fake.label(name);
        const QRect used(text->pos(), QSize(text->fontMetrics().horizontalAdvance(text->text().section(' ', 0, -1)), text->height()));
        EXPECT_FALSE(bar->geometry().intersects(QRect(text->x(), text->y(), std::min(used.width(), text->width()), text->height())))
            << name;
    }
}

TEST(WipeDiskScreen, CancelInTheFreeSpaceConfirmationStartsNothingNorTheClock)
{
    FakeScreen fake;
    if (!fake.open(false))
        GTEST_SKIP() << "no block-device volume is mounted here";
    fake.screen->changeFormatOrFreeSpaceView(2);
    ASSERT_TRUE(fake.screen->selectDevice("/dev/fake1"));
    bool confirmation = false;
    closeWhenShown<MakeSureWipeFreeSpaceViewController>(&confirmation);
    fake.screen->wipeButtonAction();
    EXPECT_TRUE(confirmation);
    EXPECT_FALSE(fake.screen->isRunning());
    QTest::qWait(1300);
    EXPECT_EQ(fake.label("fRaserPathLabel")->text(), "") << "the clock counts a run that never started";
    EXPECT_FALSE(fake.called());
}

// "Wipe Now" pressed with the mouse, the confirmation run modally as users
// meet it, and a rescan while it is up.
struct ModalRescan
{
    FakeScreen& fake;
    bool volumeGoes = false;
    bool pressed = false;
    bool sawDialog = false;

    void run()
    {
        QTimer::singleShot(100, [this] { step(); });
        auto* button = fake.screen->findChild<TextImageButton*>("wipeButton");
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        (void)QTest::qWaitFor([this] { return pressed; }, 40000);
    }
    void step()
    {
        auto* dialog = dialogOnScreen<MakeSureWipeDiskViewController>();
        if (!dialog) {
            QTimer::singleShot(100, [this] { step(); });
            return;
        }
        sawDialog = true;
        if (volumeGoes) {
            QFile gone(fake.tree / "gone");
            gone.open(QIODevice::WriteOnly);
        }
        const int asked = fake.screen->requestScan();
        (void)QTest::qWaitFor([&] { return fake.screen->scanCovers(asked); }, 30000);  // inside the dialog's own loop
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton, {}, dialog->okButton()->rect().center());
        pressed = true;
    }
};

TEST(WipeDiskScreen, ARescanDuringTheConfirmationKeepsTheChosenVolume)
{
    FakeScreen fake;
    if (!fake.open(false, "/srv/data", 0))
        GTEST_SKIP() << "no block-device volume is mounted here";
    fake.screen->resize(730, 580);
    fake.screen->show();
    fake.screen->changeFormatOrFreeSpaceView(1);
    ASSERT_TRUE(fake.screen->selectDevice("/dev/fake1"));
    ModalRescan modal{fake};
    modal.run();
    ASSERT_TRUE(modal.sawDialog);
    ASSERT_TRUE(modal.pressed);
    ASSERT_TRUE(fake.screen->currentRun()) << "Continue started nothing";
    EXPECT_EQ(fake.screen->currentRun()->volume()->volumePath, "/dev/fake1");
    ASSERT_TRUE(fake.runToEnd());
    EXPECT_TRUE(fake.screen->isVisible());
}

TEST(WipeDiskScreen, AVolumeGoneDuringTheConfirmationIsNotWiped)
{
    FakeScreen fake;
    if (!fake.open(false, "/srv/data", 0))
        GTEST_SKIP() << "no block-device volume is mounted here";
    fake.screen->resize(730, 580);
    fake.screen->show();
    fake.screen->changeFormatOrFreeSpaceView(1);
    ASSERT_TRUE(fake.screen->selectDevice("/dev/fake1"));
    // The notice is the program's own dialog, run modally; closed once seen.
    bool notice = false;
    std::function<void(int)> closeNotice = [&](int tries) {
        QTimer::singleShot(100, [&, tries] {
            if (auto* gone = dialogOnScreen<VolumeGoneNotice>()) {
                notice = true;
                gone->closePanel();
            } else if (tries > 0) {
                closeNotice(tries - 1);
            }
        });
    };
    closeNotice(400);
    ModalRescan modal{fake, true};
    modal.run();
    ASSERT_TRUE(modal.pressed);
    EXPECT_FALSE(fake.screen->currentRun());
    EXPECT_FALSE(fake.screen->selectVolumeObj());
    EXPECT_TRUE(QTest::qWaitFor([&] { return notice; }, 5000)) << "no notice that the volume is gone";
    EXPECT_FALSE(fake.called()) << "diskutil was asked to act";
}

TEST(WipeDiskScreen, AHistoryThatCannotBeWrittenIsNotAnnounced)
{
    FakeScreen fake;
    if (!fake.open(false, "/srv/data", 1, fake.tree.folder("not-a-database")))
        GTEST_SKIP() << "no block-device volume is mounted here";
    PublicUtilities::writeUpDataHistoryStr("WipeVolumeHistory", "0");
    ASSERT_EQ(PublicUtilities::getUpDataHistoryStr("WipeVolumeHistory"), "0");
    fake.screen->changeFormatOrFreeSpaceView(2);
    ASSERT_TRUE(fake.screen->selectDevice("/dev/fake1"));
    fake.screen->makeSureToWipeFreeSpaceSelectVolume();
    ASSERT_TRUE(fake.runToEnd());
    EXPECT_EQ(PublicUtilities::getUpDataHistoryStr("WipeVolumeHistory"), "0");
    EXPECT_TRUE(fake.screen->findChild<QMessageBox*>("historyNotRecordedNotice"));
}

TEST(WipeDiskScreen, AnEndAfterTheReformatSaysTheVolumeWasReformattedButNotOverwritten)
{
    // The reformat "succeeds"; the fill then cannot run (nothing is mounted
    // at the folder), or is cancelled as it starts.
    for (const bool cancel : {false, true}) {
        FakeScreen fake;
        const QString folder = fake.tree.folder("volume");
        if (!fake.open(false, folder, 0))
            GTEST_SKIP() << "no block-device volume is mounted here";
        fake.screen->changeFormatOrFreeSpaceView(1);
        ASSERT_TRUE(fake.screen->selectDevice("/dev/fake1"));
        fake.screen->makeSureToWipeSelectVolume();
        ASSERT_TRUE(fake.screen->currentRun());
        if (cancel)
            QObject::connect(fake.screen->currentRun(), &WipeRun::fillStarted, fake.screen.get(),
                             [&] { fake.screen->cancelWipeDiskButtonAction(); });
        ASSERT_TRUE(fake.runToEnd());
        EXPECT_EQ(fake.screen->lastResultText(), "Failed");
        EXPECT_TRUE(fake.label("failReasonLabel")->text().contains("reformatted")) << cancel;
        EXPECT_TRUE(fake.label("failReasonLabel")->text().contains("not overwritten"));
        EXPECT_EQ(fake.label("failNodeLabel")->isVisibleTo(fake.screen.get()), cancel);
        EXPECT_TRUE(fake.label("wipeFailVolumeLabel")->text().contains("/dev/fake1"));
    }
}

}  // namespace
