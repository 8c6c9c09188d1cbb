#include "LoopVolume.h"
#include "TempTree.h"
#include "platform/FileSystemInfo.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(FileSystemInfo, KernelTreesAndDevicesAreRecognised)
{
    EXPECT_TRUE(platform::isPseudoFileSystem("/proc/self/status"));
    EXPECT_TRUE(platform::isPseudoFileSystem("/sys/kernel"));
    EXPECT_TRUE(platform::isDeviceNode("/dev/null"));
    TempTree tree;
    const QString f = tree.file("a", "x");
    EXPECT_FALSE(platform::isPseudoFileSystem(f));
    EXPECT_FALSE(platform::isDeviceNode(f));
    EXPECT_FALSE(platform::fileSystemType(f).isEmpty());
    // A path that does not exist yet is judged by where it would be.
    EXPECT_EQ(platform::fileSystemType(tree / "not/yet/here"), platform::fileSystemType(f));
}

TEST(FileSystemInfo, NtfsIsSeenThroughItsFuseDriver)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume ntfs("ntfs", 16, "TVNTFS");
    if (!ntfs.ok())
        GTEST_SKIP() << "cannot make an NTFS volume: " << ntfs.error().toStdString();
    ASSERT_TRUE(ntfs.mount()) << ntfs.error().toStdString();
    EXPECT_TRUE(platform::isNtfs(ntfs.mountPoint() + "/any/file"));
    EXPECT_EQ(platform::mountOf(ntfs.mountPoint()).mountPoint, ntfs.mountPoint());

    LoopVolume ext4("ext4", 16);
    ASSERT_TRUE(ext4.ok()) << ext4.error().toStdString();
    ASSERT_TRUE(ext4.mount()) << ext4.error().toStdString();
    EXPECT_EQ(platform::fileSystemType(ext4.mountPoint()), "ext4");
    EXPECT_FALSE(platform::isNtfs(ext4.mountPoint()));
}
