#include "RepairDisk/CVolumeMgr.h"
#include "ToolVolume.h"
#include "platform/NotificationCenter.h"

#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

// diskutil's answers as parsed dictionaries, counting the commands asked for.
class FixtureSource : public VolumeInfoSource
{
public:
    QVariantMap listAnswer;
    QMap<QString, QVariantMap> infoAnswers;  // a missing identifier: the info command fails
    std::atomic<int> listCalls{0};
    QStringList infoCalls;
    std::mutex mutex;

    std::optional<QVariantMap> list() override
    {
        ++listCalls;
        std::lock_guard lock(mutex);
        return listAnswer;
    }
    std::optional<QVariantMap> info(const QString& id) override
    {
        std::lock_guard lock(mutex);
        infoCalls << id;
        if (!infoAnswers.contains(id))
            return std::nullopt;
        return infoAnswers.value(id);
    }
};

// A mounted, fixed, named 100 MB volume that passes every rule; tests spoil one field.
QVariantMap goodInfo(const QString& id)
{
    return {{"DeviceIdentifier", id},     {"VolumeName", "Vol " + id}, {"MountPoint", "/media/" + id},
            {"FilesystemName", "ext4"},   {"TotalSize", 100000000LL},  {"FreeSpace", 40000000LL},
            {"BusProtocol", "SATA"},      {"Ejectable", false},        {"Writable", true},
            {"Content", "Linux_Filesystem"}, {"ParentWholeDisk", "sda"}, {"DiskUUID", "uuid-" + id}};
}

QVariantMap member(const QString& id, const QVariantMap& extra = {})
{
    QVariantMap m{{"DeviceIdentifier", id}, {"Content", "Linux_Filesystem"}};
    m.insert(extra);
    return m;
}

QVariantMap diskWith(const QString& id, const QVariantList& partitions, const QString& key = "Partitions")
{
    return {{"DeviceIdentifier", id}, {"Content", "GUID_partition_scheme"}, {key, partitions}};
}

QStringList paths(const QList<QVariantMap>& volumes)
{
    QStringList out;
    for (const QVariantMap& v : volumes)
        out << v.value("volumePath").toString();
    return out;
}

}  // namespace

TEST(CVolumeMgr, EachMemberRuleDropsWhatItShould)
{
    auto src = std::make_shared<FixtureSource>();
    QVariantList parts;
    auto add = [&](const QString& id, const QVariantMap& memberExtra, const QVariantMap& infoChange, bool hasInfo = true) {
        parts << member(id, memberExtra);
        if (hasInfo) {
            QVariantMap i = goodInfo(id);
            for (auto it = infoChange.begin(); it != infoChange.end(); ++it) {
                if (it.value().isValid())
                    i[it.key()] = it.value();
                else
                    i.remove(it.key());
            }
            src->infoAnswers[id] = i;
        }
    };
    add("keep", {}, {});
    add("efi", {{"Content", "EFI"}}, {});
    add("swap", {{"Content", "Linux_Swap"}}, {});
    add("csapfs", {{"FilesystemName", "Case-sensitive APFS"}}, {});
    add("data", {{"MountPoint", "/System/Volumes/Data"}}, {});
    add("noinfo", {}, {}, false);
    add("image", {}, {{"BusProtocol", "Disk Image"}});
    add("booter", {}, {{"Content", "Apple_Boot"}});
    add("luks", {}, {{"Content", "Linux_LUKS"}});
    add("fixedunmounted", {}, {{"MountPoint", ""}});
    add("stickunmounted", {}, {{"MountPoint", QVariant()}, {"Ejectable", true}});
    add("emptyname", {}, {{"VolumeName", ""}});
    add("missingname", {}, {{"VolumeName", QVariant()}});
    add("csinfo", {}, {{"FilesystemName", "Case-sensitive APFS"}});
    add("mnt1", {}, {{"MountPoint", "/System/Volumes/Update/mnt1"}});
    add("update", {}, {{"MountPoint", "/System/Volumes/Update"}});
    add("updatestick", {}, {{"MountPoint", "/System/Volumes/Update"}, {"Ejectable", true}});
    add("vm", {}, {{"MountPoint", "/System/Volumes/VM"}});
    add("tiny", {}, {{"TotalSize", 29999999LL}});
    add("thirtymb", {}, {{"TotalSize", 30000000LL}});
    add("zero", {}, {{"TotalSize", 0LL}});
    add("daname", {}, {{"DAVolumeName", "Update"}});
    src->listAnswer = {{"AllDisksAndPartitions", QVariantList{diskWith("sda", parts)}}};

    const QList<QVariantMap> volumes = CVolumeMgr(src).scanVolumes();
    EXPECT_EQ(paths(volumes), QStringList({"keep", "stickunmounted", "missingname", "updatestick", "thirtymb", "zero"}));
    EXPECT_EQ(volumes[2].value("volumeName").toString(), "Untitled");
    // Rules read from the list alone run no info command.
    for (const char* id : {"efi", "swap", "csapfs", "data"})
        EXPECT_FALSE(src->infoCalls.contains(id)) << id;
}

TEST(CVolumeMgr, HelperVolumesByTheirDisksRecoveryAndBooterIdentifiers)
{
    auto src = std::make_shared<FixtureSource>();
    auto named = [&](const QString& id, const QString& name, const QString& mountPoint) {
        QVariantMap i = goodInfo(id);
        i["VolumeName"] = name;
        i["MountPoint"] = mountPoint;
        i["RecoveryDeviceIdentifier"] = "d1s3";
        i["BooterDeviceIdentifier"] = "d1s2";
        src->infoAnswers[id] = i;
        return member(id);
    };
    const QVariantList volumes{named("d1s1", "Macintosh HD", "/"), named("d1s2", "Preboot", "/p"),
                               named("d1s3", "Recovery", "/r"),    named("d1s4", "Recovery", "/mine"),
                               named("d1s5", "VM", ""),            named("d1s6", "VM", "/vm2")};
    src->listAnswer = {{"AllDisksAndPartitions", QVariantList{diskWith("d1", volumes, "APFSVolumes")}}};
    // The container itself has no file system: only its volumes are listed.
    src->infoAnswers["d1"] = QVariantMap{{"DeviceIdentifier", "d1"}};
    EXPECT_EQ(paths(CVolumeMgr(src).scanVolumes()), QStringList({"d1s1", "d1s4", "d1s6"}));
}

TEST(CVolumeMgr, WholeDiskVolumesComeFirstAndDiskImagesStayHidden)
{
    auto src = std::make_shared<FixtureSource>();
    QVariantMap stick = goodInfo("sdc");
    stick["Ejectable"] = true;
    src->infoAnswers["sdc"] = stick;
    src->infoAnswers["loop0"] = goodInfo("loop0");
    src->infoAnswers["loop0"]["BusProtocol"] = "Disk Image";
    src->infoAnswers["c1"] = goodInfo("c1");
    src->infoAnswers["c1s1"] = goodInfo("c1s1");
    src->listAnswer = {{"AllDisksAndPartitions",
                        QVariantList{
                            QVariantMap{{"DeviceIdentifier", "sdb"}, {"Content", "Linux_Swap"}},  // skipped whole
                            QVariantMap{{"DeviceIdentifier", "sdc"}, {"Content", ""}},
                            QVariantMap{{"DeviceIdentifier", "loop0"}},
                            diskWith("c1", {member("c1s1")}, "APFSVolumes"),
                        }}};
    EXPECT_EQ(paths(CVolumeMgr(src).scanVolumes()), QStringList({"sdc", "c1", "c1s1"}));
    EXPECT_FALSE(src->infoCalls.contains("sdb"));

    src->listAnswer = {};  // no usable output: an empty list
    EXPECT_TRUE(CVolumeMgr(src).scanVolumes().isEmpty());
}

TEST(CVolumeMgr, DescriptionsRecordsAndSizeTexts)
{
    QVariantMap info = goodInfo("sdb1");
    info["FreeSpace"] = 0LL;
    info["APFSContainerFree"] = 1500000000LL;
    const QVariantMap d = CVolumeMgr::MakeVolumeInfo(info);
    EXPECT_EQ(d.value("FreeSpace").toString(), "1500000000");
    EXPECT_EQ(d.value("volumeFreeSize").toString(), "1.50 GB");
    EXPECT_EQ(d.value("TotalSize").toString(), "100000000");
    EXPECT_EQ(d.value("volumeTotalSize").toString(), "100.00 MB");

    const VolumeObjPtr v = CVolumeMgr::volumeObjFromDescription(d);
    EXPECT_EQ(v->volumeName, "Vol sdb1");
    EXPECT_EQ(v->volumePath, "sdb1");
    EXPECT_EQ(v->diskType, "ext4");
    EXPECT_EQ(v->diskUUID, "uuid-sdb1");
    EXPECT_EQ(v->volumeMountPoint, "/media/sdb1");
    EXPECT_EQ(v->volumeFreeSizeNum, 1500000000);
    EXPECT_EQ(v->volumeTotalSizeNum, 100000000);
    EXPECT_TRUE(v->isWritable);
    EXPECT_FALSE(v->bCanEject);

    // Which medium the record stands for, as diskutil gave it.
    info["DiskSequence"] = 42ULL;
    info["VolumeUUID"] = "0f1e-2d3c";
    const VolumeObjPtr identified = CVolumeMgr::volumeObjFromDescription(CVolumeMgr::MakeVolumeInfo(info));
    EXPECT_EQ(identified->diskSequence, 42u);
    EXPECT_EQ(identified->fileSystemUUID, "0f1e-2d3c");

    // Not mounted: nobody knows how much is free, which is not "none".
    info.remove("MountPoint");
    const QVariantMap unmounted = CVolumeMgr::MakeVolumeInfo(info);
    EXPECT_EQ(unmounted.value("volumeFreeSize").toString(), "Unknown");

    const QList<std::pair<uint64_t, QString>> sizes{
        {999, "999 byte"}, {1000, "1.00 KB"}, {999999, "1000.00 KB"}, {1000000, "1.00 MB"},
        {999999999, "1000.00 MB"}, {1500000000, "1.50 GB"}, {2000000000000ULL, "2000.00 GB"}};
    for (const auto& [bytes, text] : sizes)
        EXPECT_EQ(CVolumeMgr::convertSize2String(bytes), text) << bytes;
}

TEST(CVolumeMgr, ThrottleAnswersWithTheLatestListAndRescansOnceAtTheWindowsEnd)
{
    CVolumeMgr::resetThrottle();
    CVolumeMgr::setThrottleWindow(400);
    auto src = std::make_shared<FixtureSource>();
    src->infoAnswers["sdb1"] = goodInfo("sdb1");
    src->listAnswer = {{"AllDisksAndPartitions", QVariantList{diskWith("sdb", {member("sdb1")})}}};

    QList<QVariantList> posted;
    QObject observer;
    platform::NotificationCenter::defaultCenter().observe(&observer, CVolumeMgrVolumesNotification,
                                                          [&](const QVariantMap& info) { posted << info.value("volumes").toList(); });

    CVolumeMgr mgr(src);
    EXPECT_EQ(paths(mgr.enumDiskVolumesInfo()), QStringList({"sdb1"}));
    {
        // A volume appears; calls inside the window still get the last list, never nothing.
        std::lock_guard lock(src->mutex);
        src->infoAnswers["sdb2"] = goodInfo("sdb2");
        src->listAnswer = {{"AllDisksAndPartitions", QVariantList{diskWith("sdb", {member("sdb1"), member("sdb2")})}}};
    }
    EXPECT_EQ(paths(mgr.enumDiskVolumesInfo()), QStringList({"sdb1"}));
    EXPECT_EQ(paths(CVolumeMgr(src).enumDiskVolumesInfo()), QStringList({"sdb1"}));
    EXPECT_EQ(src->listCalls, 1);

    ASSERT_TRUE(QTest::qWaitFor([&] { return !posted.isEmpty(); }, 3000)) << "no trailing rescan";
    QTest::qWait(600);
    EXPECT_EQ(posted.size(), 1) << "one trailing rescan for any number of calls";
    EXPECT_EQ(src->listCalls, 2);
    ASSERT_EQ(posted[0].size(), 2);
    EXPECT_EQ(posted[0][1].toMap().value("volumePath").toString(), "sdb2");
    // After the window a call scans again.
    EXPECT_EQ(paths(mgr.enumDiskVolumesInfo()), QStringList({"sdb1", "sdb2"}));
    EXPECT_EQ(src->listCalls, 3);
    CVolumeMgr::resetThrottle();
    CVolumeMgr::setThrottleWindow(1000);
}

TEST(CVolumeMgr, ListsALoopVolumeOnlyWhenLoopsShowAsUsb)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString label = toolvolume::uniqueLabel("M");
    ToolVolume v("ext4", 64, label);
    ASSERT_TRUE(v.ok()) << v.error().toStdString();
    ASSERT_EQ(toolvolume::tool().run({"mount", v.kernelName()}).exitCode, 0);

    auto find = [&](bool loopAsUsb) {
        platform::DiskTool tool(toolvolume::tool().program(), loopAsUsb);
        for (const QVariantMap& d : CVolumeMgr(std::make_shared<DiskToolVolumeSource>(tool)).scanVolumes())
            if (d.value("volumePath") == v.kernelName())
                return d;
        return QVariantMap();
    };
    const QVariantMap shown = find(true);
    EXPECT_EQ(shown.value("volumeName").toString(), label);
    EXPECT_EQ(shown.value("MountPoint").toString(), "/media/" + label);
    EXPECT_EQ(shown.value("FilesystemName").toString(), "ext4");
    EXPECT_TRUE(shown.value("Ejectable").toBool());
    EXPECT_TRUE(find(false).isEmpty()) << "a disk image is listed";
}
