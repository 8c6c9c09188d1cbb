#include "LoopVolume.h"
#include "TempTree.h"
#include "platform/FileSystemInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

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

// The launcher runs as the user, who may not read the device: the NTFS
// volume is still told by its FUSE driver. The check runs in this same test
// program started again as another user (nobody).
TEST(FileSystemInfo, NtfsIsToldToAUserWhoCannotReadTheDevice)
{
    const QByteArray asUser = qgetenv("TV_NTFS_AS_USER");
    if (!asUser.isEmpty()) {
        const QList<QByteArray> parts = asUser.split('\n');
        ASSERT_EQ(parts.size(), 2);
        ASSERT_NE(::geteuid(), 0u);
        EXPECT_LT(::open(parts[1].constData(), O_RDONLY), 0) << "the device is readable: nothing is tried";
        EXPECT_TRUE(platform::isNtfs(QString::fromLocal8Bit(parts[0]) + "/any/file"));
        return;
    }
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (::geteuid() != 0 || setpriv.isEmpty())
        GTEST_SKIP() << "needs root and setpriv to run the check as another user";
    LoopVolume ntfs("ntfs", 16, "TVNTFSUSER");
    if (!ntfs.ok())
        GTEST_SKIP() << "cannot make an NTFS volume: " << ntfs.error().toStdString();
    ASSERT_TRUE(ntfs.mount()) << ntfs.error().toStdString();
    // The private folder above the mount point opened to the other user.
    ASSERT_TRUE(QFile::setPermissions(QFileInfo(ntfs.mountPoint()).path(),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                          QFileDevice::ReadOther | QFileDevice::ExeOther));

    const QString self = QFileInfo("/proc/self/exe").canonicalFilePath();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TV_NTFS_AS_USER", ntfs.mountPoint() + "\n" + ntfs.device());
    env.insert("HOME", "/tmp");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", "--", self,
                          "--gtest_filter=FileSystemInfo.NtfsIsToldToAUserWhoCannotReadTheDevice"});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
}
