// diskutil reads devices in process with libblkid: what it finds must be what
// `blkid -p` finds on the same device, value for value.
#include "Devices.h"
#include "ToolVolume.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using diskutil::Probe;

namespace {

QString blkidValue(const QString& node, const char* tag)
{
    QByteArray out;
    LoopVolume::run("blkid", {"-p", "-s", tag, "-o", "value", node}, &out);
    if (out.endsWith('\n'))
        out.chop(1);
    return QString::fromUtf8(out);
}

void expectSameAsBlkid(const QString& node)
{
    SCOPED_TRACE(node.toStdString());
    const Probe p = Probe::read(node);
    EXPECT_EQ(p.fsType, blkidValue(node, "TYPE"));
    EXPECT_EQ(p.fsVersion, blkidValue(node, "VERSION"));
    EXPECT_EQ(p.uuid, blkidValue(node, "UUID"));
    EXPECT_EQ(p.usage, blkidValue(node, "USAGE"));
    EXPECT_EQ(p.label, blkidValue(node, "LABEL"));
    EXPECT_EQ(p.hasLabel, !blkidValue(node, "LABEL").isEmpty());
    EXPECT_EQ(p.tableType, blkidValue(node, "PTTYPE"));
    EXPECT_EQ(p.tableUuid, blkidValue(node, "PTUUID"));
    EXPECT_EQ(p.partEntryType, blkidValue(node, "PART_ENTRY_TYPE").toLower());
    EXPECT_EQ(p.partEntryUuid, blkidValue(node, "PART_ENTRY_UUID"));
}

// A GPT disk image attached with its partitions; detached when it goes.
class PartitionedDisk
{
public:
    PartitionedDisk()
    {
        const QString image = m_dir.path() + "/disk.img";
        QFile f(image);
        if (!f.open(QIODevice::WriteOnly) || !f.resize(64 << 20))
            return;
        f.close();
        QFile script(m_dir.path() + "/layout");
        script.open(QIODevice::WriteOnly);
        script.write("label: gpt\nsize=20MiB, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B\n"
                     "size=20MiB, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4\n"
                     "type=0657FD6D-A4AB-43C4-84E5-0933C84B4F4F\n");
        script.close();
        if (LoopVolume::run("sh", {"-c", "sfdisk -q \"$0\" < \"$1\"", image, script.fileName()}) != 0)
            return;
        QByteArray out;
        if (LoopVolume::run("losetup", {"--find", "--show", "--partscan", image}, &out) != 0)
            return;
        m_device = QString::fromLocal8Bit(out).trimmed();
        LoopVolume::run("udevadm", {"settle"});
        LoopVolume::addPartitions(m_device);
    }
    ~PartitionedDisk()
    {
        if (!m_device.isEmpty())
            LoopVolume::run("losetup", {"-d", m_device});
    }
    QString device() const { return m_device; }
    QString partition(int n) const { return m_device + "p" + QString::number(n); }

private:
    QTemporaryDir m_dir;
    QString m_device;
};

}  // namespace

TEST(DiskutilProbe, VolumesReadInProcessAsBlkidReadsThem)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    // A label of bytes a shell or an encoding would mangle comes back whole.
    ToolVolume ext4("ext4", 64, QString::fromUtf8("a \"b$(x);\t\xc3\xa9"));
    ASSERT_TRUE(ext4.ok()) << ext4.error().toStdString();
    expectSameAsBlkid(ext4.device());
    EXPECT_EQ(Probe::read(ext4.device()).label, QString::fromUtf8("a \"b$(x);\t\xc3\xa9"));

    for (const char* type : {"vfat", "exfat"}) {
        ToolVolume v(type, 64, "PROBE");
        ASSERT_TRUE(v.ok()) << v.error().toStdString();
        expectSameAsBlkid(v.device());
        EXPECT_EQ(Probe::read(v.device()).fsType, type);
    }

    // Nothing on it at all: nothing known, no label.
    ToolVolume blank("", 64);
    ASSERT_TRUE(blank.ok()) << blank.error().toStdString();
    expectSameAsBlkid(blank.device());
    EXPECT_TRUE(Probe::read(blank.device()).fsType.isEmpty());

    EXPECT_TRUE(Probe::read("/dev/no-such-device").fsType.isEmpty());
}

TEST(DiskutilProbe, APartitionedDiskAndItsPartitionsReadAsBlkidReadsThem)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    PartitionedDisk disk;
    if (disk.device().isEmpty())
        GTEST_SKIP() << "no partitioned loop device could be made here (sfdisk missing?)";
    expectSameAsBlkid(disk.device());
    EXPECT_EQ(Probe::read(disk.device()).tableType, "gpt");
    EXPECT_FALSE(Probe::read(disk.device()).tableUuid.isEmpty());
    // Some kernels (containers) give a loop device no partitions.
    if (!QFile::exists(disk.partition(3)))
        GTEST_SKIP() << "the kernel made no partitions for " << disk.device().toStdString();
    ASSERT_EQ(LoopVolume::run("mkfs.vfat", {"-n", "EFI PART", disk.partition(1)}), 0);
    ASSERT_EQ(LoopVolume::run("mkswap", {"-L", "spare", disk.partition(3)}), 0);
    for (int n : {1, 2, 3})
        expectSameAsBlkid(disk.partition(n));
    EXPECT_EQ(Probe::read(disk.partition(1)).partEntryType, "c12a7328-f81f-11d2-ba4b-00a0c93ec93b");
    EXPECT_EQ(Probe::read(disk.partition(3)).fsType, "swap");
}
