// What the wiper computes without touching a disk: the fill's plan, the
// list's size texts and filters, the clock and the system-volume refusal.
#include "WipeDisk/FreeSpaceFill.h"
#include "WipeDisk/WipeDiskViewController.h"
#include "WipeDisk/WipeVolumes.h"

#include <gtest/gtest.h>

TEST(FillPlan, DividesTheFreeSpaceIntoChunksAndARemainder)
{
    const FillPlan big = FillPlan::forFreeSpace(1'000'000'000);
    EXPECT_EQ(big.chunkCount, 7);
    EXPECT_EQ(big.remainder, 104'000'000);
    EXPECT_FLOAT_EQ(big.step, 12.5f);

    const FillPlan even = FillPlan::forFreeSpace(256'000'000);
    EXPECT_EQ(even.chunkCount, 2);
    EXPECT_EQ(even.remainder, 0);
    EXPECT_FLOAT_EQ(even.step, 50.0f);

    EXPECT_EQ(FillPlan::forFreeSpace(3'999).chunkCount, 0);
    EXPECT_EQ(FillPlan::forFreeSpace(3'999).remainder, 3'999);
    const FillPlan none = FillPlan::forFreeSpace(0);
    EXPECT_EQ(none.chunkCount, 0);
    EXPECT_EQ(none.remainder, 0);
    EXPECT_FLOAT_EQ(FillPlan::forFreeSpace(-5).freeSpace, 0);
}

TEST(FillPlan, ChunkFilesEndOnWholeAllocationUnits)
{
    EXPECT_EQ(FillPlan::chunkFileSizeFor(32768) % 32768, 0);
    EXPECT_GE(FillPlan::chunkFileSizeFor(32768), FillPlan::kChunkFileSize);
    EXPECT_LT(FillPlan::chunkFileSizeFor(32768) - FillPlan::kChunkFileSize, 32768);
    EXPECT_EQ(FillPlan::chunkFileSizeFor(0), FillPlan::kChunkFileSize);
}

TEST(WipeVolumes, SizeTextsUseDecimalUnits)
{
    EXPECT_EQ(WipeVolumes::byteToSizeWithByte(999), "999 byte");
    EXPECT_EQ(WipeVolumes::byteToSizeWithByte(999'999), "1000.00 KB");
    EXPECT_EQ(WipeVolumes::byteToSizeWithByte(1'000'000), "1.00 MB");
    EXPECT_EQ(WipeVolumes::byteToSizeWithByte(2'500'000'000ULL), "2.50 GB");
    EXPECT_EQ(WipeVolumes::byteToSizeWithByte(3'000'000'000'000ULL), "3.00 TB");
}

TEST(WipeVolumes, ListsVolumesByDeviceAndLeavesOutWhatItMustNot)
{
    QVariantMap info{{"VolumeName", "Data"},      {"DeviceNode", "/dev/sdb1"}, {"FilesystemName", "APFS"},
                     {"FreeSpace", 0},            {"APFSContainerFree", 5000}, {"TotalSize", 10000},
                     {"MountPoint", "/media/Data"}, {"BusProtocol", "USB"},    {"Ejectable", true}};
    const VolumeObjPtr v = WipeVolumes::volumeFromInfo(info);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->volumePath, "/dev/sdb1");
    EXPECT_EQ(v->volumeFreeSizeNum, 5000);  // APFS with no free space reads the container's
    EXPECT_EQ(v->volumeMountPoint, "/media/Data");

    QVariantMap efi = info;
    efi["VolumeName"] = "EFI";
    EXPECT_FALSE(WipeVolumes::volumeFromInfo(efi));
    QVariantMap image = info;
    image["BusProtocol"] = "Disk Image";
    EXPECT_FALSE(WipeVolumes::volumeFromInfo(image));
    QVariantMap nameless = info;
    nameless.remove("VolumeName");
    EXPECT_FALSE(WipeVolumes::volumeFromInfo(nameless));

    // A volume without a label reads as the Disk Manager names it, not by its device.
    QVariantMap unlabelled = info;
    unlabelled["VolumeName"] = "";
    unlabelled["DeviceIdentifier"] = "vda";
    const VolumeObjPtr system = WipeVolumes::volumeFromInfo(unlabelled);
    ASSERT_TRUE(system);
    EXPECT_EQ(system->volumeName, "Untitled");
}

TEST(FillPlan, ProgressFollowsTheBytesWrittenAndWaitsForThePassEnd)
{
    // A volume too small for a single chunk file still moves the bar.
    const FillPlan small = FillPlan::forFreeSpace(100'000'000);
    EXPECT_EQ(small.chunkCount, 0);
    EXPECT_FLOAT_EQ(small.progressAfter(0), 0.0f);
    EXPECT_FLOAT_EQ(small.progressAfter(25'000'000), 25.0f);
    EXPECT_FLOAT_EQ(small.progressAfter(50'000'000), 50.0f);
    // The last file grows until the volume is full, past what was counted:
    // the bar stays short of 100 until the pass has ended.
    EXPECT_FLOAT_EQ(small.progressAfter(100'000'000), 99.0f);
    EXPECT_FLOAT_EQ(small.progressAfter(180'000'000), 99.0f);
    EXPECT_FLOAT_EQ(FillPlan::forFreeSpace(0).progressAfter(4096), 0.0f);
}

TEST(WipeDiskClock, CountsInWholeHoursMinutesAndSeconds)
{
    EXPECT_EQ(WipeDiskViewController::clockText(1), "0:00:01");
    EXPECT_EQ(WipeDiskViewController::clockText(3600), "1:00:00");
    EXPECT_EQ(WipeDiskViewController::clockText(3601), "1:00:01");
    EXPECT_EQ(WipeDiskViewController::clockText(3599), "0:59:59");
}
