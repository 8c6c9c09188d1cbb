#include "Comm/VolumeIdentity.h"
#include "Comm/VolumeObj.h"
#include "ToolVolume.h"

#include <gtest/gtest.h>

// The options a screen puts before an acting command are the ones diskutil
// reads: a record of the volume there lets the command run, a record of the
// medium that was there before makes it refuse with nothing done.
TEST(VolumeIdentity, DiskutilActsOnTheRecordedMediumAndRefusesAnother)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    ToolVolume v("ext4", 64, toolvolume::uniqueLabel("I"));
    ASSERT_TRUE(v.ok()) << v.error().toStdString();
    const QVariantMap info = v.info();
    VolumeObj record;
    record.diskSequence = info.value("DiskSequence").toULongLong();
    record.fileSystemUUID = info.value("VolumeUUID").toString();
    ASSERT_NE(record.diskSequence, 0u);
    ASSERT_FALSE(record.fileSystemUUID.isEmpty());
    EXPECT_EQ(expectedMediumArguments(record).size(), 2);

    const platform::DiskTool tool = toolvolume::tool();
    const platform::CommandResult mounted = tool.run(expectedMediumArguments(record) + QStringList{"mount", v.kernelName()});
    EXPECT_EQ(mounted.exitCode, 0) << mounted.errors.toStdString();

    VolumeObj before = record;
    before.diskSequence -= 1;
    const platform::CommandResult refused = tool.run(expectedMediumArguments(before) + QStringList{"unmount", v.kernelName()});
    EXPECT_EQ(refused.exitCode, kDiskToolMediumChanged);
    EXPECT_FALSE(v.info().value("MountPoint").toString().isEmpty()) << "unmounted although refused";

    // A file system without a UUID is checked by its medium alone.
    VolumeObj noUuid = record;
    noUuid.fileSystemUUID.clear();
    EXPECT_EQ(expectedMediumArguments(noUuid), QStringList{QStringLiteral("--expect-sequence=%1").arg(record.diskSequence)});
    EXPECT_EQ(tool.run(expectedMediumArguments(noUuid) + QStringList{"unmount", v.kernelName()}).exitCode, 0);
}
