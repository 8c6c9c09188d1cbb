// Wipe Hard Drive proven on real volumes: after the erase and the fill, no
// marker of the old files (deleted or not) is left on the raw image.
#include "WipeProof.h"

#include "WipeDisk/WipeVolumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace wipeproof;

namespace {

// Where the volume is mounted now, unmounted by the test on the way out.
struct MountedAfterRun
{
    QString device;
    QString mountPoint;
    ~MountedAfterRun() { unmountWiped(device, mountPoint); }
};

class WholeDriveProof : public ::testing::TestWithParam<const char*>
{
};

TEST_P(WholeDriveProof, NoMarkerOfTheOldVolumeIsLeft)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString fs = QString::fromLatin1(GetParam());
    LoopVolume vol(fs, 512, QStringLiteral("TVW%1").arg(::getpid() % 100000));
    if (!vol.ok())
        GTEST_SKIP() << fs.toStdString() << " volumes cannot be made here: " << vol.error().toStdString();
    // Otherwise mkfs discards the blocks and the test passes before the fill runs.
    ASSERT_TRUE(disableDiscard(vol.device()));
    if (!vol.mount())
        GTEST_SKIP() << fs.toStdString() << " volumes cannot be mounted here: " << vol.error().toStdString();
    ASSERT_TRUE(plantDeletedMarkers(vol.mountPoint(), 0.5));
    ASSERT_TRUE(QDir(vol.mountPoint()).mkpath("kept/inside"));
    ASSERT_TRUE(writeMarkerFile(vol.mountPoint() + "/kept/inside/live.bin", 32 << 20));
    ::sync();

    VolumeObjPtr volume = volumeFor(vol.device());
    ASSERT_TRUE(volume);
    WipeRun run(volume, WipeRun::WholeDrive, 1);
    run.setDiskTool(diskTool());
    run.setSrmPath(srmPath());
    bool fillStarted = false;
    QObject::connect(&run, &WipeRun::fillStarted, [&] { fillStarted = true; });
    run.start();
    ASSERT_TRUE(runToEnd(run));
    MountedAfterRun mounted{vol.device(), run.fillMountPoint()};
    EXPECT_EQ(run.result().outcome, FillResult::Outcome::Success) << run.result().reason.toStdString();
    EXPECT_TRUE(fillStarted);
    EXPECT_FALSE(QFileInfo::exists(run.fillFolder()));
    if (fs == "ntfs") {
        const std::optional<QVariantMap> info = WipeVolumes::getDisjInfo(diskTool(), vol.device());
        ASSERT_TRUE(info);
        EXPECT_EQ(info->value("VolumeName").toString().toStdString(), WipeRun::kNtfsVolumeName.toStdString());
    }

    ASSERT_TRUE(unmountWiped(vol.device(), mounted.mountPoint));
    mounted.mountPoint.clear();
    vol.unmount();
    EXPECT_EQ(countInImage(vol.image(), marker()), 0);
    EXPECT_EQ(fsckProblem(fs == "ntfs" ? QStringLiteral("vfat") : fs, vol.device()).toStdString(), "");
}

INSTANTIATE_TEST_SUITE_P(FileSystems, WholeDriveProof, ::testing::Values("ext4", "vfat", "exfat", "ntfs"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
