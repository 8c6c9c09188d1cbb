// diskutil against real loop volumes: what it reports, and what it does.
#include "Describe.h"
#include "Devices.h"
#include "platform/MountTable.h"
#include "FileSystems.h"
#include "Volumes.h"
#include "ToolVolume.h"
#include "platform/DiskTool.h"
#include "platform/PlistFile.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

using toolvolume::tool;
using toolvolume::runPastOtherTests;
using toolvolume::uniqueLabel;

namespace {

QString str(const QVariantMap& m, const char* key) { return m.value(QLatin1String(key)).toString(); }

QByteArray runOut(const QString& program, const QStringList& args)
{
    QByteArray out;
    LoopVolume::run(program, args, &out);
    return out.trimmed();
}

platform::CommandResult du(const QStringList& args) { return tool().run(args, 120000); }

#define ASSERT_VOLUME(v) \
    ASSERT_TRUE((v).ok()) << (v).error().toStdString()

#define EXPECT_RUNS(result)                                                                     \
    do {                                                                                        \
        const platform::CommandResult r_ = (result);                                            \
        EXPECT_EQ(r_.exitCode, 0) << r_.output.toStdString() << r_.errors.toStdString();        \
    } while (0)

}  // namespace

TEST(DiskutilVolumes, ListAndInfoAgreeWithTheSystemTools)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    struct Case { QString fsType, name; };
    const QList<Case> cases{{"ext4", "ext4"}, {"vfat", "MS-DOS FAT32"}, {"exfat", "ExFAT"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fsType.toStdString());
        const QString label = uniqueLabel();
        ToolVolume v(c.fsType, 64, label);
        ASSERT_VOLUME(v);

        const auto list = tool().runPlist({"list", "-plist"});
        ASSERT_TRUE(list.has_value());
        QVariantMap entry;
        for (const QVariant& d : list->value("AllDisksAndPartitions").toList())
            if (str(d.toMap(), "DeviceIdentifier") == v.kernelName())
                entry = d.toMap();
        ASSERT_FALSE(entry.isEmpty()) << "the loop device is not listed";
        EXPECT_EQ(str(entry, "FilesystemName"), c.name);
        EXPECT_EQ(str(entry, "Content"), "");
        EXPECT_FALSE(entry.contains("Partitions"));

        QVariantMap info = v.info();
        EXPECT_EQ(str(info, "VolumeName"), label);
        EXPECT_EQ(str(info, "DeviceIdentifier"), v.kernelName());
        EXPECT_EQ(str(info, "DeviceNode"), v.device());
        EXPECT_EQ(str(info, "ParentWholeDisk"), v.kernelName());
        EXPECT_EQ(str(info, "FilesystemName"), c.name);
        EXPECT_EQ(info.value("TotalSize").toLongLong(),
                  runOut("lsblk", {"-b", "-d", "-n", "-o", "SIZE", v.device()}).toLongLong());
        EXPECT_EQ(str(info, "VolumeUUID"), QString(runOut("blkid", {"-p", "-s", "UUID", "-o", "value", v.device()})));
        EXPECT_FALSE(str(info, "DiskUUID").isEmpty());
        EXPECT_EQ(str(info, "BusProtocol"), "USB");
        EXPECT_TRUE(info.value("Ejectable").toBool());
        EXPECT_TRUE(info.value("Writable").toBool());
        EXPECT_EQ(str(info, "MountPoint"), "");
        EXPECT_EQ(info.value("FreeSpace").toLongLong(), 0);

        // Without the test option a loop device is the disk image it is.
        const auto hidden = platform::DiskTool(tool().program()).runPlist({"info", "-plist", v.device()});
        ASSERT_TRUE(hidden.has_value());
        EXPECT_EQ(str(*hidden, "BusProtocol"), "Disk Image");

        EXPECT_RUNS(du({"mount", v.kernelName()}));
        info = v.info();
        EXPECT_EQ(str(info, "MountPoint"), "/media/" + label);
        struct statvfs st{};
        ASSERT_EQ(::statvfs(("/media/" + label).toUtf8().constData(), &st), 0);
        if (st.f_blocks > 0)
            EXPECT_EQ(info.value("FreeSpace").toLongLong(), qint64(st.f_bavail) * qint64(st.f_frsize));
        else  // the FUSE FAT driver leaves statvfs empty; the tool counts free clusters instead
            EXPECT_GT(info.value("FreeSpace").toLongLong(), 60LL * 1000 * 1000);
        EXPECT_EQ(info.value("APFSContainerFree"), info.value("FreeSpace"));

        // The same volume by its other names.
        for (const QString& target : {v.device(), QString("/media/" + label + "/"), label}) {
            const auto again = tool().runPlist({"info", "-plist", target});
            ASSERT_TRUE(again.has_value()) << target.toStdString();
            EXPECT_EQ(str(*again, "DeviceIdentifier"), v.kernelName());
        }
    }
}

TEST(DiskutilVolumes, Ext4MountUnmountRenameReformatCheckAndEject)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString label = uniqueLabel();
    ToolVolume v("ext4", 64, label);
    ASSERT_VOLUME(v);
    const QString folder = "/media/" + label;

    EXPECT_RUNS(du({"mount", v.kernelName()}));
    EXPECT_EQ(toolvolume::mountedType(folder), "ext4");
    EXPECT_RUNS(du({"mount", v.kernelName()}));  // already mounted: nothing to do
    QFile keep(folder + "/keep.txt");
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("data");
    keep.close();

    EXPECT_RUNS(du({"unmount", folder}));
    EXPECT_TRUE(toolvolume::mountedType(folder).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(folder)) << "the folder the tool made is left behind";
    EXPECT_NE(du({"unmount", v.kernelName()}).exitCode, 0) << "unmounting an unmounted volume succeeds";

    // A mounted volume follows its new name.
    EXPECT_RUNS(du({"mount", label}));
    const QString renamed = uniqueLabel("R");
    EXPECT_RUNS(du({"rename", label, renamed}));
    EXPECT_EQ(str(v.info(), "VolumeName"), renamed);
    EXPECT_EQ(str(v.info(), "MountPoint"), "/media/" + renamed);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QFileInfo::exists("/media/" + renamed + "/keep.txt"));

    // Reformat keeps the type and the name, not the contents.
    EXPECT_RUNS(du({"reformat", v.device()}));
    QVariantMap info = v.info();
    EXPECT_EQ(str(info, "FilesystemName"), "ext4");
    EXPECT_EQ(str(info, "VolumeName"), renamed);
    EXPECT_EQ(str(info, "MountPoint"), "/media/" + renamed);
    EXPECT_FALSE(QFileInfo::exists("/media/" + renamed + "/keep.txt"));

    // Verify streams the checker's lines while it runs and mounts the volume again.
    for (const char* verb : {"verifyvolume", "repairvolume"}) {
        SCOPED_TRACE(verb);
        std::unique_ptr<platform::DiskToolStream> stream(tool().stream({verb, renamed}));
        QStringList lines;
        int exitCode = -2;
        QObject::connect(stream.get(), &platform::DiskToolStream::lineRead, [&](const QString& l) { lines << l; });
        QObject::connect(stream.get(), &platform::DiskToolStream::finished, [&](int code, const QString&) { exitCode = code; });
        stream->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return exitCode != -2; }, 60000));
        EXPECT_EQ(exitCode, 0) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines.filter("Pass 5").size() == 1) << lines.join('\n').toStdString();
        EXPECT_EQ(str(v.info(), "MountPoint"), "/media/" + renamed);
    }

    // Eject unmounts and detaches the image.
    const platform::CommandResult ejected = runPastOtherTests({"eject", renamed});
    const QString device = v.device();
    if (ejected.exitCode == 0)
        v.forget();  // the tool detached it; never detach a number another test may own now
    EXPECT_RUNS(ejected);
    EXPECT_FALSE(QFileInfo::exists("/media/" + renamed));
    EXPECT_FALSE(runOut("losetup", {"-a"}).contains(v.image().toUtf8()));
}

TEST(DiskutilVolumes, ExfatMountsThroughTheDriverItChooses)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString label = uniqueLabel();
    ToolVolume v("exfat", 64, label);
    ASSERT_VOLUME(v);
    EXPECT_RUNS(du({"mount", v.device()}));
    const QString folder = "/media/" + label;
    const QString type = toolvolume::mountedType(folder);
    if (diskutil::kernelHasDriver("exfat"))
        EXPECT_EQ(type, "exfat");
    else
        EXPECT_EQ(type, "fuseblk") << "expected the FUSE exFAT driver";
    QFile f(folder + "/written.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("through the driver");
    f.close();
    EXPECT_RUNS(du({"unmount", v.kernelName()}));
    EXPECT_RUNS(du({"mount", v.kernelName()}));
    QFile back(folder + "/written.txt");
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), QByteArray("through the driver"));
}

TEST(DiskutilVolumes, HostileNamesAreNamesAndComeBackExactly)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    QTemporaryDir cwd;
    const QString savedCwd = QDir::currentPath();
    QDir::setCurrent(cwd.path());
    const QString canary = "/tmp/tv-canary-" + uniqueLabel();
    const QString tag = uniqueLabel().right(6);
    // NTFS takes names up to 128 characters, so every one of these fits.
    const QStringList names{
        tag + " with  spaces ",
        tag + " it's \"quoted\"",
        tag + " $(touch canary) `touch canary`",
        tag + " a; touch " + canary + " ; b",
        tag + QString(54, QChar('x')),  // 60 characters
    };
    ToolVolume v("ntfs", 64, uniqueLabel());
    ASSERT_VOLUME(v);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_RUNS(du({"rename", v.kernelName(), name}));
        EXPECT_RUNS(du({"mount", v.kernelName()}));
        const QVariantMap info = v.info();
        EXPECT_EQ(str(info, "VolumeName"), name);
        // A "/" cannot be part of a folder name; it reads as ":" there.
        EXPECT_EQ(str(info, "MountPoint"), "/media/" + QString(name).replace('/', ':'));
        const auto byName = tool().runPlist({"info", "-plist", name});
        ASSERT_TRUE(byName.has_value());
        EXPECT_EQ(str(*byName, "DeviceIdentifier"), v.kernelName());
        EXPECT_RUNS(du({"unmount", name}));
    }
    EXPECT_FALSE(QFileInfo::exists(cwd.path() + "/canary"));
    EXPECT_FALSE(QFileInfo::exists(canary));
    QDir::setCurrent(savedCwd);

    // Each file system's own limit is said, not silently cut.
    ToolVolume fat("vfat", 64, uniqueLabel());
    ASSERT_VOLUME(fat);
    const platform::CommandResult tooLong = du({"rename", fat.kernelName(), "twelve chars"});
    EXPECT_NE(tooLong.exitCode, 0);
    EXPECT_TRUE(tooLong.errors.contains("at most 11 characters")) << tooLong.errors.toStdString();
    EXPECT_RUNS(du({"rename", fat.kernelName(), "lower case"}));
    EXPECT_EQ(str(fat.info(), "VolumeName"), "LOWER CASE");
}

namespace {

bool hasControls(const QByteArray& bytes, bool linesAllowed)
{
    return std::any_of(bytes.begin(), bytes.end(), [linesAllowed](char c) {
        return (uchar(c) < 0x20 && !(linesAllowed && (c == '\n' || c == '\t'))) || c == 0x7f;
    });
}

// What a strict XML reader says of a document: empty when it is well formed.
QByteArray strictXmlProblem(const QByteArray& xml)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("xmllint", {"--noout", "--nonet", "-"});
    p.write(xml);
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? QByteArray() : p.readAll() + " ";
}

}  // namespace

TEST(DiskutilVolumes, ControlCharactersInALabelAreWrittenSoEveryReaderTakesThem)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    if (diskutil::findProgram("xmllint").isEmpty())
        GTEST_SKIP() << "xmllint (libxml2-utils) is not installed";
    const QString tag = uniqueLabel().right(6);
    const QString label = QStringLiteral("a\x01" "b\x1b[2Jc") + tag;
    ToolVolume v("ext4", 64, uniqueLabel());
    ASSERT_VOLUME(v);
    ASSERT_EQ(LoopVolume::run("e2label", {v.device(), label}), 0);

    // Property lists: well-formed XML, and our reader gives every character back.
    const platform::CommandResult info = du({"info", "-plist", v.kernelName()});
    ASSERT_EQ(info.exitCode, 0);
    EXPECT_EQ(strictXmlProblem(info.output), "");
    const auto infoBack = platform::plist::parse(info.output);
    ASSERT_TRUE(infoBack.has_value());
    EXPECT_EQ(str(infoBack->toMap(), "VolumeName"), label);
    const platform::CommandResult list = du({"list", "-plist"});
    ASSERT_EQ(list.exitCode, 0);
    EXPECT_EQ(strictXmlProblem(list.output), "");
    const auto listBack = platform::plist::parse(list.output);
    ASSERT_TRUE(listBack.has_value());
    QString listed;
    for (const QVariant& disk : listBack->toMap().value("AllDisksAndPartitions").toList())
        if (str(disk.toMap(), "DeviceIdentifier") == v.kernelName())
            listed = str(disk.toMap(), "VolumeName");
    EXPECT_EQ(listed, label);

    // Text for a terminal: the characters as visible escapes, none of them raw.
    const QByteArray visible = "a\\x01b\\x1b[2Jc" + tag.toUtf8();
    for (const QStringList& args : QList<QStringList>{{"info", v.kernelName()}, {"list"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const platform::CommandResult text = du(args);
        EXPECT_TRUE(text.output.contains(visible)) << text.output.toStdString();
        EXPECT_FALSE(hasControls(text.output, true));
    }

    // The mount folder leaves them out.
    const platform::CommandResult mounted = du({"mount", v.kernelName()});
    EXPECT_EQ(mounted.exitCode, 0) << mounted.errors.toStdString();
    EXPECT_FALSE(hasControls(mounted.output, true));
    EXPECT_EQ(str(v.info(), "MountPoint"), "/media/ab[2Jc" + tag);
    EXPECT_EQ(str(v.info(), "VolumeName"), label);
}

TEST(DiskutilVolumes, SameLabelsGetTheirOwnFoldersAndNameNeitherAlone)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const QString label = uniqueLabel();
    ToolVolume a("ext4", 64, label);
    ToolVolume b("ext4", 64, label);
    ASSERT_VOLUME(a);
    ASSERT_VOLUME(b);
    EXPECT_RUNS(du({"mount", a.kernelName()}));
    EXPECT_RUNS(du({"mount", b.kernelName()}));
    const QString first = str(a.info(), "MountPoint");
    const QString second = str(b.info(), "MountPoint");
    EXPECT_EQ(first, "/media/" + label);
    EXPECT_EQ(second, "/media/" + label + " 1");

    const platform::CommandResult ambiguous = du({"unmount", label});
    EXPECT_NE(ambiguous.exitCode, 0);
    EXPECT_TRUE(ambiguous.errors.contains("ambiguous")) << ambiguous.errors.toStdString();
    EXPECT_EQ(str(a.info(), "MountPoint"), first);
    EXPECT_EQ(str(b.info(), "MountPoint"), second);
}

TEST(DiskutilVolumes, SystemVolumesAndMissingFormattersAreRefused)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    const bool rootIsDevice = tool().runPlist({"info", "-plist", "/"}).has_value();
    for (const QStringList& args : QList<QStringList>{{"unmount", "/"},
                                                      {"eraseVolume", "ext4", "X", "/"},
                                                      {"reformat", "/"},
                                                      {"repairvolume", "/"},
                                                      {"verifyvolume", "/"},
                                                      {"eject", "/"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const platform::CommandResult r = du(args);
        EXPECT_NE(r.exitCode, 0);
        // Where "/" is a block device here, it is refused as the system's own;
        // elsewhere (an overlay root) it is no volume at all.
        if (rootIsDevice)
            EXPECT_TRUE(r.errors.contains("system")) << r.errors.toStdString();
        else
            EXPECT_FALSE(r.errors.isEmpty());
    }
    EXPECT_EQ(toolvolume::mountedType("/").isEmpty(), false);

    if (!diskutil::findProgram("mkfs.hfsplus").isEmpty())
        return;
    ToolVolume v("ext4", 64, uniqueLabel());
    ASSERT_VOLUME(v);
    const platform::CommandResult r = du({"eraseVolume", "Journaled HFS+", "MAC", v.kernelName()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.errors.contains("mkfs.hfsplus is not installed")) << r.errors.toStdString();
    EXPECT_EQ(str(v.info(), "FilesystemName"), "ext4") << "the volume was touched";
}

TEST(DiskutilVolumes, EraseVolumeMakesTheNamedTypeAndMountsIt)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    ToolVolume v("ext4", 64, uniqueLabel());
    ASSERT_VOLUME(v);
    EXPECT_RUNS(du({"mount", v.kernelName()}));
    const QString name = uniqueLabel("N");
    EXPECT_RUNS(du({"eraseVolume", "MS-DOS FAT32", name.toLower(), v.device()}));
    const QVariantMap info = v.info();
    EXPECT_EQ(str(info, "FilesystemName"), "MS-DOS FAT32");
    EXPECT_EQ(str(info, "VolumeName"), name);
    EXPECT_EQ(str(info, "MountPoint"), "/media/" + name);
}

TEST(DiskutilVolumes, AnEraseTargetThatChangedAfterResolvingIsRefused)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    QString why;
    auto first = std::make_unique<LoopVolume>("");
    ASSERT_VOLUME(*first);
    std::optional<diskutil::DeviceTable> table = diskutil::DeviceTable::scan(&why);
    ASSERT_TRUE(table.has_value()) << why.toStdString();
    const diskutil::BlockDevice* found = table->device(first->kernelName());
    ASSERT_TRUE(found);
    const diskutil::BlockDevice chosen = *found;
    EXPECT_TRUE(diskutil::DevicePin(chosen).ok());

    // The loop device is detached and (usually) handed to the next image.
    first.reset();
    LoopVolume second("");
    ASSERT_VOLUME(second);
    const diskutil::DevicePin pin(chosen);
    EXPECT_FALSE(pin.ok()) << "reattached to " << second.device().toStdString();
}

TEST(DiskutilVolumes, EraseOfADeviceInUseElsewhereOrLockedIsRefusedAndTheDataSurvives)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    ToolVolume v("ext4", 64, uniqueLabel());
    ASSERT_VOLUME(v);
    ASSERT_TRUE(v.mount());
    QFile marker(v.mountPoint() + "/marker");
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.write("still here");
    marker.close();
    ASSERT_TRUE(v.unmount());

    // Held the way a mount in another namespace or another program holds it;
    // the holder is named.
    {
        const int fd = ::open(v.device().toUtf8().constData(), O_RDONLY | O_EXCL | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        for (const QStringList& args : QList<QStringList>{{"eraseVolume", "NTFS", "N", v.kernelName()},
                                                          {"eraseVolume", "MS-DOS FAT32", "N", v.kernelName()},
                                                          {"reformat", v.kernelName()}}) {
            SCOPED_TRACE(args.join(' ').toStdString());
            const platform::CommandResult r = du(args);
            EXPECT_NE(r.exitCode, 0);
            EXPECT_TRUE(r.errors.contains(QStringLiteral("process %1 (").arg(::getpid()).toUtf8())
                        && r.errors.contains(") has it open. Nothing was erased."))
                << r.errors.toStdString();
        }
        ::close(fd);
    }
    // A second command on the same disk while one is working on it.
    {
        const diskutil::DiskLock busy(v.kernelName());
        ASSERT_TRUE(busy.ok()) << busy.error().toStdString();
        const platform::CommandResult r = du({"eraseVolume", "MS-DOS FAT32", "N", v.kernelName()});
        EXPECT_NE(r.exitCode, 0);
        EXPECT_TRUE(r.errors.contains("another diskutil command")) << r.errors.toStdString();
    }
    // A label the file system refuses stops the erase before the unmount.
    EXPECT_RUNS(du({"mount", v.kernelName()}));
    const platform::CommandResult bad = du({"eraseVolume", "MS-DOS FAT32", "A*B", v.kernelName()});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_FALSE(str(v.info(), "MountPoint").isEmpty()) << "unmounted for a name that could never be used";
    toolvolume::releaseMounts(v.device());

    EXPECT_EQ(str(v.info(), "FilesystemName"), "ext4");
    ASSERT_TRUE(v.mount());
    QFile back(v.mountPoint() + "/marker");
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), "still here");
}

TEST(DiskutilVolumes, InfoFromSysfsAloneSaysWhatTheWholeTableSays)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    ToolVolume v("vfat", 64, uniqueLabel());
    ASSERT_VOLUME(v);
    EXPECT_RUNS(du({"mount", v.kernelName()}));
    QStringList names{v.kernelName()};
    // The system's own disk too, where "/" lives on one: system flags, bus, model.
    for (const platform::MountEntry& m : platform::readMountTable())
        if (m.mountPoint == "/" && m.source.startsWith("/dev/"))
            names << QFileInfo(diskutil::canonicalDevice(m.source)).fileName();
    const diskutil::Presentation usb{true};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        QString why;
        std::optional<diskutil::DeviceTable> all = diskutil::DeviceTable::scan(&why);
        ASSERT_TRUE(all) << why.toStdString();
        std::optional<diskutil::DeviceTable> one = diskutil::DeviceTable::scanOne(name, &why);
        ASSERT_TRUE(one) << why.toStdString();
        ASSERT_TRUE(all->device(name) && one->device(name));
        const QVariantMap expected = diskutil::infoDictionary(*all, *all->device(name), usb);
        const QVariantMap got = diskutil::infoDictionary(*one, *one->device(name), usb);
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            // Free space moves while other programs write.
            if (it.key() != "FreeSpace" && it.key() != "APFSContainerFree") {
                EXPECT_EQ(got.value(it.key()).toString(), it.value().toString()) << it.key().toStdString();
            }
        }
        EXPECT_EQ(got.keys(), expected.keys());
    }
    QString why;
    EXPECT_FALSE(diskutil::DeviceTable::scanOne("no-such-device", &why));
    EXPECT_TRUE(why.contains("no such device"));
}

TEST(DiskutilVolumes, AnotherMediumAtTheChosenNodeIsRefusedAndKeepsItsData)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString otherImage = dir.filePath("other.img");
    ASSERT_TRUE(toolvolume::writeMarkers(otherImage));

    // The chosen volume, as a list showed it; then it is detached and the
    // other image takes its node. Another test may grab the free node first:
    // try again with a new one.
    std::unique_ptr<AttachedImage> other;
    QString node, uuid;
    quint64 sequence = 0;
    for (int attempt = 0; attempt < 5 && !(other && other->attached()); ++attempt) {
        auto chosen = std::make_unique<LoopVolume>("ext4", 64, uniqueLabel());
        ASSERT_VOLUME(*chosen);
        const QVariantMap info = tool().runPlist({"info", "-plist", chosen->kernelName()}).value_or(QVariantMap());
        ASSERT_TRUE(info.contains("DiskSequence"));
        sequence = info.value("DiskSequence").toULongLong();
        uuid = str(info, "VolumeUUID");
        EXPECT_FALSE(uuid.isEmpty());
        EXPECT_EQ(sequence, runOut("cat", {"/sys/class/block/" + chosen->kernelName() + "/diskseq"}).toULongLong());
        node = chosen->device();
        chosen.reset();
        other = std::make_unique<AttachedImage>(node, otherImage);
    }
    ASSERT_TRUE(other && other->attached()) << "could not attach at a freed node";

    const QString expectSequence = QStringLiteral("--expect-sequence=%1").arg(sequence);
    for (const QStringList& args : QList<QStringList>{{"eraseVolume", "MS-DOS FAT32", "N", node},
                                                      {"eraseVolume", "ExFAT", "N", node},
                                                      {"reformat", node},
                                                      {"rename", node, "N"},
                                                      {"repairvolume", node},
                                                      {"mount", node},
                                                      {"eject", node}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const platform::CommandResult r = du(QStringList{expectSequence} + args);
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_EQ(r.errors.trimmed(), QString("The disk at %1 is no longer the one that was chosen: nothing was done "
                                              "to it.").arg(node).toUtf8());
    }
    EXPECT_EQ(toolvolume::markersLeft(otherImage), 2);
    EXPECT_EQ(diskutil::loopBackingFile(node.mid(5)), otherImage) << "the other disk was ejected";

    // The sequence alone matching is not enough when the volume's UUID was given.
    const QVariantMap now = tool().runPlist({"info", "-plist", node}).value_or(QVariantMap());
    const QString current = QStringLiteral("--expect-sequence=%1").arg(now.value("DiskSequence").toULongLong());
    EXPECT_NE(now.value("DiskSequence").toULongLong(), sequence);
    EXPECT_EQ(du({current, "--expect-uuid=" + uuid, "eraseVolume", "MS-DOS FAT32", "N", node}).exitCode, 3);
    EXPECT_EQ(toolvolume::markersLeft(otherImage), 2);
    // What the caller did choose is acted on.
    EXPECT_RUNS(du({current, "eraseVolume", "MS-DOS FAT32", "N", node}));
    EXPECT_EQ(toolvolume::markersLeft(otherImage), 0);
    EXPECT_EQ(du({"--expect-sequence=x", "list"}).exitCode, 2);
}

namespace {

// A program of another user's holding the device: started, and stopped when
// the test ends.
class Holder
{
public:
    explicit Holder(const QStringList& command)
    {
        m_process.start(command.first(), command.mid(1));
        m_process.waitForStarted();
    }
    ~Holder()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
};

bool writeFileMarker(LoopVolume& v)
{
    if (!v.mount())
        return false;
    QFile marker(v.mountPoint() + "/marker");
    const bool written = marker.open(QIODevice::WriteOnly) && marker.write("still here") == 10;
    marker.close();
    return v.unmount() && written;
}

QByteArray fileMarker(LoopVolume& v)
{
    toolvolume::releaseMounts(v.device());
    if (!v.mount())
        return {};
    QFile back(v.mountPoint() + "/marker");
    const QByteArray text = back.open(QIODevice::ReadOnly) ? back.readAll() : QByteArray();
    v.unmount();
    return text;
}

}  // namespace

TEST(DiskutilVolumes, ADeviceOpenOrMountedByAnotherProgramIsNeitherErasedNorRenamed)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    ToolVolume v("ext4", 64, uniqueLabel());
    ASSERT_VOLUME(v);
    ASSERT_TRUE(writeFileMarker(v));
    const QList<QStringList> acting{{"eraseVolume", "MS-DOS FAT32", "N", v.kernelName()},
                                    {"reformat", v.kernelName()},
                                    {"rename", v.kernelName(), "N"}};
    auto refusedWith = [&](const char* why) {
        for (const QStringList& args : acting) {
            SCOPED_TRACE(args.join(' ').toStdString());
            const platform::CommandResult r = du(args);
            EXPECT_NE(r.exitCode, 0);
            EXPECT_TRUE(r.errors.contains(why)) << r.errors.toStdString();
        }
    };
    {
        // Open for reading and writing, not exclusively: the claim alone lets it by.
        Holder holder({"sh", "-c", "exec 3<>\"$0\"; exec sleep 60", v.device()});
        QTest::qWait(300);
        refusedWith("has it open");
    }
    {
        // Mounted in a mount namespace of its own, invisible in ours.
        MountNamespace other(v.device());
        ASSERT_TRUE(other.ok()) << other.error().toStdString();
        EXPECT_TRUE(toolvolume::mountedType(other.mountPoint()).isEmpty()) << "the mount is in our namespace";
        for (const QStringList& args : acting) {
            SCOPED_TRACE(args.join(' ').toStdString());
            EXPECT_NE(du(args).exitCode, 0);
        }
    }
    EXPECT_EQ(str(v.info(), "FilesystemName"), "ext4");
    EXPECT_EQ(fileMarker(v), "still here");
}

TEST(DiskutilVolumes, AnExfatNameTooLongIsRefusedBeforeTheVolumeIsUnmounted)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    ToolVolume v("exfat", 64, "SHORT");
    ASSERT_VOLUME(v);
    EXPECT_RUNS(du({"mount", v.kernelName()}));
    const QString twelve = "twelve-chars";
    for (const QStringList& args : QList<QStringList>{{"rename", v.kernelName(), twelve},
                                                      {"eraseVolume", "ExFAT", twelve, v.kernelName()}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const platform::CommandResult r = du(args);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_TRUE(r.errors.contains("at most 11")) << r.errors.toStdString();
        const QVariantMap info = v.info();
        EXPECT_EQ(str(info, "VolumeName"), "SHORT");
        EXPECT_FALSE(str(info, "MountPoint").isEmpty()) << "left unmounted";
    }
}
