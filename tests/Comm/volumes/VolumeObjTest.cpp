#include "Comm/VolumeObj.h"
#include "RepairDisk/CVolumeMgr.h"
#include "ToolVolume.h"
#include "WipeDisk/WipeVolumes.h"

#include <gtest/gtest.h>

// The drive wiper and the Disk Manager fill the one record from the same
// answers with their own meanings. Each tool acts on `volumePath`: the wiper
// writes to a device node, the Disk Manager names a disk to diskutil, and a
// record filled with the other's meaning would send either to the wrong place.
TEST(VolumeObj, EachToolFillsTheRecordWithItsOwnMeaningOfTheSameVolume)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString label = toolvolume::uniqueLabel("V");
    ToolVolume volume("ext4", 32, label);
    ASSERT_TRUE(volume.ok()) << volume.error().toStdString();
    ASSERT_EQ(toolvolume::tool().run({"mount", volume.kernelName()}).exitCode, 0);
    const QVariantMap info = volume.info();
    ASSERT_FALSE(info.isEmpty());

    const VolumeObjPtr wiper = WipeVolumes::volumeFromInfo(info);
    const VolumeObjPtr manager = CVolumeMgr::volumeObjFromDescription(CVolumeMgr::MakeVolumeInfo(info));
    ASSERT_TRUE(wiper);
    ASSERT_TRUE(manager);
    EXPECT_EQ(wiper->volumePath, volume.device());
    EXPECT_EQ(manager->volumePath, volume.kernelName());
    EXPECT_EQ(wiper->volumeType, "ext4");
    EXPECT_EQ(manager->diskType, "ext4");
    EXPECT_TRUE(wiper->diskType.isEmpty());
    EXPECT_TRUE(manager->volumeType.isEmpty());
    // What both read the same way agrees.
    EXPECT_EQ(wiper->volumeName, label);
    EXPECT_EQ(manager->volumeName, label);
    EXPECT_EQ(wiper->volumeMountPoint, "/media/" + label);
    EXPECT_EQ(manager->volumeMountPoint, wiper->volumeMountPoint);
}
