// The wiper's screen on a real loop volume: chosen in the list, Wipe Now,
// confirmed, run to its end view, recorded in the history as "Erased".
#include "WipeProof.h"

#include "SetEraserLevel/DoDataBase.h"
#include "TempTree.h"
#include "WipeDisk/MakeSureWipeDiskViewController.h"
#include "WipeDisk/WipeDiskViewController.h"
#include "WipeDisk/WipeVolumes.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
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
