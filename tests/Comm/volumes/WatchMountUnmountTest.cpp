#include "Comm/WatchMountUnmount.h"
#include "ToolVolume.h"
#include "platform/NotificationCenter.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

TEST(WatchMountUnmount, OnlyBlockDeviceVolumesCount)
{
    const auto table = platform::parseMountTable(
        "22 1 8:1 / /boot/efi rw - vfat /dev/sda1 rw\n"
        "40 1 0:52 / /media/A\\040B rw - fuseblk /dev/loop3 rw\n"
        "41 1 0:23 / /proc rw - proc proc rw\n"
        "42 1 0:24 / /run rw - tmpfs tmpfs rw\n");
    EXPECT_EQ(WatchMountUnmount::volumeKeys(table),
              QSet<QString>({"/boot/efi\n/dev/sda1", "/media/A B\n/dev/loop3"}));
}

TEST(WatchMountUnmount, PostsMountAndUnmountWithinTwoSecondsOncePerWatcher)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString label = toolvolume::uniqueLabel("W");
    const QString path = "/media/" + label;
    ToolVolume v("ext4", 64, label);
    ASSERT_TRUE(v.ok()) << v.error().toStdString();

    // Two screens, two watchers: each event reaches observers twice.
    WatchMountUnmount first, second;
    QObject observer;
    QList<QVariantMap> mounts, unmounts;
    auto& center = platform::NotificationCenter::defaultCenter();
    center.observe(&observer, MCVolumeMountNotification, [&](const QVariantMap& info) {
        if (info.value("path") == path)
            mounts << info;
    });
    center.observe(&observer, MCVolumeUnmountNotification, [&](const QVariantMap& info) {
        if (info.value("path") == path)
            unmounts << info;
    });

    const auto tool = toolvolume::tool();
    ASSERT_EQ(tool.run({"mount", v.kernelName()}).exitCode, 0);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return mounts.size() == 2; }, 2000));
    EXPECT_LT(clock.elapsed(), 2000);
    QTest::qWait(100);
    ASSERT_EQ(mounts.size(), 2);
    EXPECT_EQ(mounts[0], mounts[1]);
    EXPECT_EQ(mounts[0].value("device").toString(), v.device());

    ASSERT_EQ(tool.run({"unmount", v.kernelName()}).exitCode, 0);
    clock.restart();
    EXPECT_TRUE(QTest::qWaitFor([&] { return unmounts.size() == 2; }, 2000));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(mounts.size(), 2);
}
