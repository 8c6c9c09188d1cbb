// diskutil's reading of lsblk, blkid and the mount table, and its file-system table.
#include "Describe.h"
#include "Devices.h"
#include "FileSystems.h"
#include "ToolVolume.h"
#include "Volumes.h"

#include <gtest/gtest.h>

using namespace diskutil;

namespace {

const QByteArray kLsblk = R"({"blockdevices": [
  {"kname":"sda","name":"sda","type":"disk","size":500107862016,"rm":false,"ro":false,"hotplug":false,"tran":"sata","maj:min":"8:0","model":"Fixed Disk",
   "children":[
     {"kname":"sda1","name":"sda1","type":"part","size":536870912,"rm":false,"ro":false,"hotplug":false,"tran":null,"maj:min":"8:1"},
     {"kname":"sda2","name":"sda2","type":"part","size":400000000000,"rm":false,"ro":false,"hotplug":false,"tran":null,"maj:min":"8:2",
      "children":[{"kname":"dm-0","name":"vg-root","type":"lvm","size":1,"maj:min":"254:0"}]}]},
  {"kname":"sdb","name":"sdb","type":"disk","size":"16008609792","rm":"1","ro":"0","hotplug":"1","tran":"usb","maj:min":"8:16",
   "children":[{"kname":"sdb1","name":"sdb1","type":"part","size":16007561216,"rm":true,"ro":false,"hotplug":true,"maj:min":"8:17"}]},
  {"kname":"loop3","name":"loop3","type":"loop","size":67108864,"rm":false,"ro":false,"hotplug":false,"maj:min":"7:3"},
  {"kname":"loop4","name":"loop4","type":"loop","size":0,"rm":false,"ro":false,"maj:min":"7:4"},
  {"kname":"sr0","name":"sr0","type":"rom","size":1073741312,"rm":true,"ro":false,"maj:min":"11:0"}
]})";

const QByteArray kMounts =
    "22 1 8:1 / /boot/efi rw,relatime shared:1 - vfat /dev/sda1 rw\n"
    "23 1 254:0 / / rw,relatime shared:2 - ext4 /dev/mapper/vg-root rw\n"
    "40 1 0:52 / /media/STICK\\040ONE rw,nosuid - fuseblk.vfat /dev/sdb1 rw,allow_other\n"
    "41 1 7:3 / /mnt/a\\134b ro,relatime - ext4 /dev/loop3 ro\n"
    "42 1 0:23 / /proc rw - proc proc rw\n";

DeviceTable fixture()
{
    return DeviceTable::fromLsblk(kLsblk, platform::parseMountTable(kMounts));
}

Probe fsProbe(const QString& type, const QString& label, const QString& uuid)
{
    Probe p;
    p.fsType = type;
    p.label = label;
    p.hasLabel = true;
    p.uuid = uuid;
    p.usage = "filesystem";
    return p;
}

}  // namespace

TEST(DiskutilParsing, LsblkTreeAndMountTable)
{
    DeviceTable t = fixture();
    QStringList names;
    for (const BlockDevice& d : t.devices())
        names << d.name;
    // Disks before their partitions; no LVM volume, detached loop or optical drive.
    EXPECT_EQ(names, QStringList({"sda", "sda1", "sda2", "sdb", "sdb1", "loop3"}));

    const BlockDevice* sdb1 = t.device("sdb1");
    ASSERT_TRUE(sdb1);
    EXPECT_EQ(sdb1->wholeDisk, "sdb");
    EXPECT_EQ(sdb1->transport, "usb");  // inherited from its disk
    EXPECT_TRUE(sdb1->removable);
    EXPECT_EQ(t.device("sdb")->size, 16008609792LL);  // numbers and flags as texts, too
    // A FUSE mount is found by the device its driver names as the source.
    EXPECT_EQ(sdb1->mountPoints, QStringList({"/media/STICK ONE"}));
    const BlockDevice* loop3 = t.device("loop3");
    EXPECT_EQ(loop3->mountPoints, QStringList({"/mnt/a\\b"}));
    EXPECT_TRUE(loop3->mountedReadOnly);
    EXPECT_EQ(t.device("sda")->partitions, QStringList({"sda1", "sda2"}));

    // The EFI partition is a system volume; so is the disk that holds it.
    EXPECT_TRUE(t.isSystemDevice(*t.device("sda1")));
    EXPECT_TRUE(t.diskHoldsSystem(*t.device("sda")));
    EXPECT_FALSE(t.diskHoldsSystem(*t.device("sdb")));
    DeviceTable withSwap = DeviceTable::fromLsblk(kLsblk, {}, {"/dev/sdb1"});
    EXPECT_TRUE(withSwap.isSystemDevice(*withSwap.device("sdb1")));
}

TEST(DiskutilParsing, VolumesStackedOnADeviceMakeItASystemDevice)
{
    // Root on LVM inside LUKS on sdc2; /home on an LVM volume spanning the
    // whole disk sdd; swap on a device-mapper volume on sde1.
    const QByteArray lsblk = R"({"blockdevices": [
      {"kname":"sdc","name":"sdc","type":"disk","size":1000,"maj:min":"8:32","children":[
        {"kname":"sdc1","name":"sdc1","type":"part","size":500,"maj:min":"8:33"},
        {"kname":"sdc2","name":"sdc2","type":"part","size":500,"maj:min":"8:34","children":[
          {"kname":"dm-0","name":"crypt","type":"crypt","size":499,"maj:min":"254:0","children":[
            {"kname":"dm-1","name":"vg-root","type":"lvm","size":400,"maj:min":"254:1"}]}]}]},
      {"kname":"sdd","name":"sdd","type":"disk","size":1000,"maj:min":"8:48","children":[
        {"kname":"dm-2","name":"vg-home","type":"lvm","size":900,"maj:min":"254:2"}]},
      {"kname":"sde","name":"sde","type":"disk","size":1000,"maj:min":"8:64","children":[
        {"kname":"sde1","name":"sde1","type":"part","size":900,"maj:min":"8:65","children":[
          {"kname":"dm-3","name":"swapvol","type":"crypt","size":800,"maj:min":"254:3"}]}]},
      {"kname":"sdf","name":"sdf","type":"disk","size":1000,"maj:min":"8:80","children":[
        {"kname":"sdf1","name":"sdf1","type":"part","size":900,"maj:min":"8:81"}]}
    ]})";
    const QByteArray mounts =
        "23 1 254:1 / / rw,relatime - ext4 /dev/mapper/vg-root rw\n"
        "24 1 254:2 / /home rw,relatime - ext4 /dev/mapper/vg-home rw\n";
    DeviceTable t = DeviceTable::fromLsblk(lsblk, platform::parseMountTable(mounts), {"/dev/dm-3"});
    EXPECT_TRUE(t.isSystemDevice(*t.device("sdc2")));
    EXPECT_FALSE(t.isSystemDevice(*t.device("sdc1")));
    EXPECT_TRUE(t.diskHoldsSystem(*t.device("sdc")));
    EXPECT_TRUE(t.isSystemDevice(*t.device("sdd")));
    EXPECT_TRUE(t.isSystemDevice(*t.device("sde1")));
    EXPECT_FALSE(t.diskHoldsSystem(*t.device("sdf")));
    // The stacked volume's mount point is not the device's own: it is never unmounted by it.
    EXPECT_TRUE(t.device("sdc2")->mountPoints.isEmpty());
}

TEST(DiskutilParsing, TargetsByIdentifierMountPointUuidAndName)
{
    DeviceTable t = fixture();
    for (const char* n : {"sda", "sda1", "sda2", "sdb", "sdb1", "loop3"})
        t.setProbe(n, Probe());
    t.setProbe("sdb1", fsProbe("vfat", "STICK ONE", "ABCD-1234"));
    t.setProbe("loop3", fsProbe("ext4", "STICK ONE", "0f1e2d3c-0000-4000-8000-000000000001"));
    t.setProbe("sda2", fsProbe("ext4", "sdb1", "0f1e2d3c-0000-4000-8000-000000000002"));

    QString why;
    EXPECT_EQ(t.resolve("sdb1", &why)->name, "sdb1");  // a kernel name beats a volume of that name
    EXPECT_EQ(t.resolve("/media/STICK ONE/", &why)->name, "sdb1");
    EXPECT_EQ(t.resolve("abcd-1234", &why)->name, "sdb1");
    EXPECT_EQ(t.resolve("0F1E2D3C-0000-4000-8000-000000000001", &why)->name, "loop3");

    EXPECT_EQ(t.resolve("STICK ONE", &why), nullptr);
    EXPECT_TRUE(why.contains("ambiguous") && why.contains("sdb1") && why.contains("loop3")) << why.toStdString();
    EXPECT_EQ(t.resolve("/media/nothing", &why), nullptr);
    EXPECT_TRUE(why.contains("no volume is mounted"));
    EXPECT_EQ(t.resolve("Nobody", &why), nullptr);
    EXPECT_EQ(t.resolve("", &why), nullptr);
}

TEST(DiskutilParsing, ContentAndFilesystemNames)
{
    BlockDevice disk;
    disk.type = "disk";
    disk.probe.tableType = "gpt";
    EXPECT_EQ(contentOf(disk), "GUID_partition_scheme");
    // exFAT and FAT boot sectors look like an MBR too: the file system wins.
    disk.probe = fsProbe("exfat", "X", "1");
    disk.probe.tableType = "dos";
    EXPECT_EQ(contentOf(disk), "");
    EXPECT_EQ(filesystemNameOf(disk), "ExFAT");

    BlockDevice part;
    part.type = "part";
    part.probe = fsProbe("vfat", "ESP", "1");
    part.probe.fsVersion = "FAT16";
    part.probe.partEntryType = "c12a7328-f81f-11d2-ba4b-00a0c93ec93b";
    EXPECT_EQ(contentOf(part), "EFI");
    EXPECT_EQ(filesystemNameOf(part), "MS-DOS FAT16");
    part.probe = Probe();
    part.probe.fsType = "swap";
    part.probe.partEntryType = "0x83";
    EXPECT_EQ(contentOf(part), "Linux_Swap");  // what is on it, not what the table says
    EXPECT_EQ(filesystemNameOf(part), "");
    part.probe.fsType = "crypto_LUKS";
    EXPECT_EQ(contentOf(part), "Linux_LUKS");
    part.probe.fsType = "LVM2_member";
    EXPECT_EQ(contentOf(part), "Linux_LVM");

    BlockDevice loop;
    loop.name = "loop0";
    loop.type = "loop";
    EXPECT_EQ(busProtocolOf(loop, {}), "Disk Image");
    EXPECT_EQ(busProtocolOf(loop, {true}), "USB");
}

TEST(DiskutilParsing, FileSystemTableNamesAndLabelLimits)
{
    EXPECT_EQ(fileSystemNamed("MS-DOS FAT32")->formatArgs("NEW"), QStringList({"-F", "32", "-n", "NEW"}));
    EXPECT_EQ(fileSystemNamed("exfat")->name, "ExFAT");
    EXPECT_EQ(fileSystemNamed("Journaled HFS+")->formatTool, "mkfs.hfsplus");
    EXPECT_EQ(fileSystemNamed("ext4")->formatArgs(""), QStringList({"-F", "-q"}));
    EXPECT_EQ(fileSystemNamed("zfs"), nullptr);
    EXPECT_EQ(fileSystemForProbe("vfat", "FAT12")->name, "MS-DOS FAT12");
    EXPECT_EQ(fileSystemForProbe("vfat", "")->name, "MS-DOS FAT32");

    const FileSystem& fat = *fileSystemNamed("MS-DOS FAT32");
    EXPECT_EQ(fat.normalizedLabel("usb stick"), "USB STICK");
    EXPECT_TRUE(fat.labelProblem("ELEVEN CHRS").isEmpty());
    EXPECT_TRUE(fat.labelProblem("TWELVE CHARS").contains("at most 11 characters"));
    // What mkfs.vfat and fatlabel refuse is refused before the volume is touched.
    EXPECT_FALSE(fat.labelProblem("A*B").isEmpty());
    EXPECT_TRUE(fat.labelProblem("`X`'Y $(Z)").isEmpty());

    const FileSystem& ext4 = *fileSystemNamed("ext4");
    EXPECT_TRUE(ext4.labelProblem(QString(16, 'a')).isEmpty());
    EXPECT_TRUE(ext4.labelProblem(QString(8, QChar(0xe9))).isEmpty());  // 16 bytes
    EXPECT_FALSE(ext4.labelProblem(QString(9, QChar(0xe9))).isEmpty());
    EXPECT_FALSE(ext4.labelProblem("a\nb").isEmpty());

    const FileSystem& exfat = *fileSystemNamed("ExFAT");
    EXPECT_TRUE(exfat.labelProblem(QString(11, QChar(0xe9))).isEmpty());
    EXPECT_FALSE(exfat.labelProblem(QString(12, 'a')).isEmpty());  // its formatter refuses it after the unmount
    EXPECT_FALSE(exfat.labelProblem("-dash").isEmpty());  // its label tool would read an option
}

TEST(DiskutilParsing, AMountedVolumeBlkidCannotReadIsNamedByItsMountType)
{
    DeviceTable t = fixture();
    for (const char* n : {"sda", "sda1", "sda2", "sdb", "sdb1", "loop3"})
        t.setProbe(n, Probe());  // blkid refused: nothing known
    const diskutil::Presentation how;
    const QVariantMap efi = diskutil::infoDictionary(t, *t.device("sda1"), how);
    EXPECT_EQ(efi.value("FilesystemType").toString(), "vfat");
    EXPECT_TRUE(efi.value("FilesystemName").toString().startsWith("MS-DOS FAT"));
    const QVariantMap loop = diskutil::infoDictionary(t, *t.device("loop3"), how);
    EXPECT_EQ(loop.value("FilesystemName").toString(), "ext4");
    // A FUSE driver's type says which driver, not which file system.
    EXPECT_EQ(diskutil::infoDictionary(t, *t.device("sdb1"), how).value("FilesystemName").toString(), "");
    // Unmounted and unreadable stays unknown.
    EXPECT_EQ(diskutil::infoDictionary(t, *t.device("sdb"), how).value("FilesystemName").toString(), "");
}

TEST(DiskutilParsing, AHelpersReasonIsAClauseWithoutItsNameOrPaths)
{
    using diskutil::helperReason;
    EXPECT_EQ(helperReason("umount: /media/X: target is busy.\n", "umount", {"/media/X"}), "target is busy");
    EXPECT_EQ(helperReason("umount: umount: /media/X: target is busy.", "/usr/bin/umount", {"/media/X"}), "target is busy");
    EXPECT_EQ(helperReason("mkfs.exfat 1.2.0\nexFAT format tool\ninput string is too long\n\n", "mkfs.exfat",
                           {"-L", "twelve-chars", "/dev/loop3"}),
              "input string is too long");
    EXPECT_EQ(helperReason("/dev/loop3: No such device", "e2label", {"/dev/loop3", "N"}), "No such device");
    EXPECT_EQ(helperReason("", "eject", {"/dev/sdb"}), "");
}
