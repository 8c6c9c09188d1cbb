#include "Comm/VolumeObj.h"

#include <gtest/gtest.h>

TEST(VolumeObj, AnUnfilledRecordReadsNothing)
{
    const VolumeObj v;
    for (const QString* text : {&v.volumeName, &v.volumeType, &v.diskType, &v.volumePath, &v.volRootDir,
                                &v.volumeMountPoint, &v.volumeTotalSize, &v.volumeFreeSize, &v.diskUUID,
                                &v.BusProtocol, &v.parentWholeDisk})
        EXPECT_TRUE(text->isNull());
    EXPECT_EQ(v.volumeFreeSizeNum, 0);
    EXPECT_EQ(v.volumeTotalSizeNum, 0);
    EXPECT_FALSE(v.bCanEject);
    EXPECT_FALSE(v.isWritable);
}
