// The wiper's screen on a real loop volume: chosen in the list, Wipe Now,
// confirmed, run to its end view, recorded in the history as "Erased".
#include "WipeProof.h"

#include "SetEraserLevel/DoDataBase.h"
#include "TempTree.h"
#include "WipeDisk/MakeSureWipeDiskViewController.h"
#include "WipeDisk/MakeSureWipeFreeSpaceViewController.h"
#include "WipeDisk/SystemEraserViewController.h"
#include "WipeDisk/WipeDiskViewController.h"
#include "WipeDisk/WipeVolumes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

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

TEST(WipeDiskScreen, WipesTheChosenVolumeAndRecordsIt)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume vol("ext4", 256, QStringLiteral("TVS%1").arg(::getpid() % 100000));
    ASSERT_TRUE(vol.ok()) << vol.error().toStdString();
    ASSERT_TRUE(disableDiscard(vol.device()));
    ASSERT_TRUE(vol.mount()) << vol.error().toStdString();
    ASSERT_TRUE(writeMarkerFile(vol.mountPoint() + "/old.bin", 16 << 20));

    TempTree tree;
    DoDataBase store(tree / "DataBase.db");
    platform::DiskTool::setDefaultProgram(diskutilPath());
    platform::DiskTool::setShowLoopAsUsb(true);
    WipeDiskViewController screen(nullptr, &store);
    platform::DiskTool::setDefaultProgram(QString());
    platform::DiskTool::setShowLoopAsUsb(false);
    screen.setSrmPath(srmPath());
    screen.resize(730, 580);
    screen.show();
    screen.changeFormatOrFreeSpaceView(1);  // Wipe Hard Drive
    EXPECT_EQ(screen.selectEraserType(), 2);
    QSignalSpy scanned(&screen, &WipeDiskViewController::scanEnded);
    if (screen.isScanV())
        ASSERT_TRUE(scanned.wait(60000));
    ASSERT_TRUE(screen.selectDevice(vol.device())) << "the loop volume is not listed";
    // A rescan (another volume came or went) keeps the choice by its device.
    screen.getallVolumes();
    ASSERT_TRUE(scanned.wait(60000));
    ASSERT_TRUE(screen.selectVolumeObj());
    EXPECT_EQ(screen.selectVolumeObj()->volumePath, vol.device());

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

}  // namespace

namespace {

// A stand-in diskutil describing every device as one volume, /dev/fake1.
QString fakeDiskutil(const TempTree& tree, bool system)
{
    const QString script = tree / "diskutil";
    QFile f(script);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do [ \"$a\" = info ] && { cat <<'EOF'\n"
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                           "<key>VolumeName</key><string>Data</string><key>DeviceNode</key><string>/dev/fake1</string>"
                           "<key>FilesystemName</key><string>ext4</string><key>BusProtocol</key><string>USB</string>"
                           "<key>MountPoint</key><string>/srv/data</string><key>SystemVolume</key><%1/></dict></plist>\n"
                           "EOF\nexit 0; }; done\necho \"$@\" >> '%2'\nexit 1\n")
                .arg(system ? "true" : "false", tree / "called")
                .toUtf8());
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return script;
}

struct FakeScreen
{
    TempTree tree;
    DoDataBase store{tree / "DataBase.db"};
    std::unique_ptr<WipeDiskViewController> screen;

    bool open(bool system)
    {
        platform::DiskTool::setDefaultProgram(fakeDiskutil(tree, system));
        screen = std::make_unique<WipeDiskViewController>(nullptr, &store);
        platform::DiskTool::setDefaultProgram(QString());
        QSignalSpy scanned(screen.get(), &WipeDiskViewController::scanEnded);
        if (screen->isScanV() && !scanned.wait(30000))
            return false;
        return screen->selectDevice("/dev/fake1");
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

TEST(WipeDiskScreen, SystemVolumeGetsTheNoticeNotTheConfirmation)
{
    FakeScreen fake;
    if (!fake.open(true))
        GTEST_SKIP() << "no block-device volume is mounted here";
    fake.screen->changeFormatOrFreeSpaceView(1);
    bool notice = false;
    closeWhenShown<SystemEraserViewController>(&notice);
    fake.screen->wipeButtonAction();
    EXPECT_TRUE(notice) << "the system volume was not refused with its notice";
    EXPECT_FALSE(fake.screen->isRunning());
    EXPECT_FALSE(QFileInfo::exists(fake.tree / "called"));
}

TEST(WipeDiskScreen, CancelInTheFreeSpaceConfirmationStartsNothingAndStopsTheClock)
{
    FakeScreen fake;
    if (!fake.open(false))
        GTEST_SKIP() << "no block-device volume is mounted here";
    fake.screen->changeFormatOrFreeSpaceView(2);
    bool confirmation = false;
    closeWhenShown<MakeSureWipeFreeSpaceViewController>(&confirmation);
    fake.screen->wipeButtonAction();
    EXPECT_TRUE(confirmation);
    EXPECT_FALSE(fake.screen->isRunning());
    const QString shown = fake.screen->findChild<QLabel*>("fRaserPathLabel")->text();
    QTest::qWait(1300);
    EXPECT_EQ(fake.screen->findChild<QLabel*>("fRaserPathLabel")->text(), shown) << "the clock runs on";
    EXPECT_FALSE(QFileInfo::exists(fake.tree / "called"));
}

}  // namespace
