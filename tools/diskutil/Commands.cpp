#include "Commands.h"

#include "Describe.h"

#include "FileSystems.h"
#include "InUse.h"
#include "Volumes.h"
#include "platform/PlistFile.h"

#include <QFileInfo>
#include <QProcess>

#include <functional>

#include <cstdio>
#include <unistd.h>

namespace diskutil {

namespace {

// Messages carry names that are not ours: no control character of theirs
// reaches the terminal.
void say(const QString& text)
{
    const QByteArray bytes = withoutControls(text).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

int failWith(const QString& reason, int status = Failure)
{
    const QByteArray bytes = withoutControls(reason).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
    return status;
}

void printPlist(const QVariantMap& dict)
{
    const QByteArray xml = platform::plist::toXml(dict);
    std::fwrite(xml.constData(), 1, size_t(xml.size()), stdout);
    std::fflush(stdout);
}

// Everything that changes a disk needs root; saying so beats a string of
// permission errors from the helpers.
bool needRoot(const QString& command, int* status)
{
    if (::geteuid() == 0)
        return true;
    *status = failWith(QStringLiteral("diskutil %1 must be run as root").arg(command));
    return false;
}

// The table and the device a command acts on, or the exit status it ends with.
struct Target
{
    std::optional<DeviceTable> table;
    const BlockDevice* device = nullptr;
    int status = Success;
    Expectation expected;
};

Target resolveTarget(const QString& target)
{
    Target t;
    QString why;
    // A device named outright is read while lsblk runs.
    const QString name = target.startsWith(QLatin1String("/dev/")) ? target.mid(5) : target;
    t.table = DeviceTable::scan(&why, {name});
    if (!t.table) {
        t.status = failWith(why);
        return t;
    }
    t.device = t.table->resolve(target, &why);
    if (!t.device) {
        t.status = failWith(why);
        return t;
    }
    t.table->probe({t.device->name, t.device->wholeDisk});
    return t;
}

QString displayName(const BlockDevice& d)
{
    return d.probe.label.isEmpty() ? d.name : QStringLiteral("%1 (%2)").arg(visibleText(d.probe.label), d.name);
}

QString refusedSystem(const BlockDevice& d, const QString& what)
{
    return QStringLiteral("%1 is a system volume (mounted at %2 or in use by the system): %3 it is refused")
        .arg(d.name, (d.mountPoints + d.stackedMountPoints).join(QStringLiteral(", ")), what);
}

QString mediumChangedText(const BlockDevice& d)
{
    return QStringLiteral("The disk at %1 is no longer the one that was chosen: nothing was done to it.").arg(d.node());
}

// The caller chose a medium, not a device node: a stick pulled and another
// plugged in gets the same node, and must never be taken for the first.
bool isExpectedMedium(const Target& t, quint64 sequenceNow)
{
    const Expectation& e = t.expected;
    if (e.sequence && sequenceNow != *e.sequence)
        return false;
    return e.uuid.isEmpty() || t.device->probe.uuid.compare(e.uuid, Qt::CaseInsensitive) == 0;
}

// Re-reads the device after a change so later steps see what is there now.
const BlockDevice* refreshed(Target& t, const QString& name, QString* why)
{
    t.table = DeviceTable::scan(why);
    if (!t.table)
        return nullptr;
    const BlockDevice* d = t.table->device(name);
    if (!d) {
        *why = QStringLiteral("%1 is gone").arg(name);
        return nullptr;
    }
    t.table->probe({name});
    return t.table->device(name);
}

// The device and, for a whole disk, its partitions: all of it must be
// unused before a command takes the disk away.
QList<BlockDevice> withPartitions(const DeviceTable& table, const BlockDevice& d)
{
    QList<BlockDevice> devices{d};
    for (const QString& name : d.partitions)
        if (const BlockDevice* p = table.device(name))
            devices << *p;
    return devices;
}

// A refusal because someone else uses the device; `undone` says, as a
// sentence, what was left as it was.
QString inUseText(const QString& name, const QString& who, const QString& undone)
{
    return QStringLiteral("%1 is in use: %2. %3").arg(name, who, undone);
}

const QString kNothingErased = QStringLiteral("Nothing was erased.");

// Claims the pinned device and asks again who else uses it, now that its
// mounts here are gone: the refusal, or empty when it is ours alone. The
// claim keeps it so until it is released.
QString claimUnused(DevicePin& pin, const QList<BlockDevice>& devices, const QString& undone)
{
    if (!pin.claim())
        return pin.error();
    // A loop device attached to it takes no claim and shows no holder.
    if (const QString loops = loopDevicesOn(devices); !loops.isEmpty())
        return inUseText(devices.first().name, loops, undone);
    if (const QString who = otherUsersAfterProbes(devices, OurMounts::Count); !who.isEmpty())
        return inUseText(devices.first().name, who, undone);
    return {};
}

// Mounts the device again when a command that unmounted it stops short, so
// it is left as it was found.
void restoreMount(Target& t, const QString& name, bool wasMounted)
{
    if (!wasMounted)
        return;
    QString why, mountPoint;
    const BlockDevice* now = refreshed(t, name, &why);
    if (now && !now->isMounted())
        mountVolume(*now, &mountPoint, &why);
}

int cmdList(const Invocation& inv)
{
    const bool plist = inv.arguments.contains(QStringLiteral("-plist"));
    QString why;
    std::optional<DeviceTable> table = DeviceTable::scan(&why);
    if (!table)
        return failWith(why);
    const QVariantMap list = listDictionary(*table);
    if (plist)
        printPlist(list);
    else
        std::fputs(listText(list).toUtf8().constData(), stdout);
    return Success;
}

int cmdInfo(const Invocation& inv)
{
    QStringList args = inv.arguments;
    const bool plist = args.removeAll(QStringLiteral("-plist")) > 0;
    if (args.size() != 1)
        return failWith(QStringLiteral("usage: diskutil info [-plist] <disk, partition, mount point or volume name>"), Usage);
    // A device named outright is described from sysfs alone: the Disk
    // Manager asks this once per volume on every rescan.
    Target t;
    const QString& target = args.first();
    const QString name = target.startsWith(QLatin1String("/dev/")) ? QFileInfo(canonicalDevice(target)).fileName() : target;
    if (!name.isEmpty() && !name.contains('/') && QFileInfo::exists(QStringLiteral("/sys/class/block/") + name)) {
        QString why;
        t.table = DeviceTable::scanOne(name, &why);
        t.device = t.table ? t.table->device(name) : nullptr;
    }
    if (!t.device)
        t = resolveTarget(target);
    if (!t.device)
        return t.status;
    const QVariantMap info = infoDictionary(*t.table, *t.device, inv.presentation);
    if (plist)
        printPlist(info);
    else
        std::fputs(infoText(info).toUtf8().constData(), stdout);
    return Success;
}

int cmdMount(const Invocation&, Target& t)
{
    const BlockDevice& d = *t.device;
    if (d.isMounted()) {
        say(QStringLiteral("Volume %1 on %2 is already mounted at %3").arg(visibleText(d.probe.label), d.name, visibleText(d.mountPoints.first())));
        return Success;
    }
    if (d.isWholeDisk() && !d.partitions.isEmpty())
        return failWith(QStringLiteral("%1 is a partitioned disk: mount one of its partitions").arg(d.name));
    QString mountPoint, why;
    if (!mountVolume(d, &mountPoint, &why))
        return failWith(why);
    say(QStringLiteral("Volume %1 on %2 mounted at %3").arg(visibleText(d.probe.label), d.name, visibleText(mountPoint)));
    return Success;
}

int cmdUnmount(const Invocation&, Target& t)
{
    QList<const BlockDevice*> devices{t.device};
    for (const QString& name : t.device->partitions)
        devices << t.table->device(name);
    for (const BlockDevice* d : devices) {
        if (t.table->isSystemDevice(*d))
            return failWith(refusedSystem(*d, QStringLiteral("unmounting")));
    }
    bool any = false;
    for (const BlockDevice* d : devices) {
        if (!d->isMounted())
            continue;
        // Mounted elsewhere too (another namespace, a FUSE driver of its
        // own): the unmount asked for is the one here, and it is done; the
        // other use is named, not waited for.
        const QString elsewhere = usersBeyondOurMounts({*d});
        QString why;
        if (!unmountDevice(*d, &why, elsewhere.isEmpty()))
            return failWith(why);
        if (elsewhere.isEmpty())
            say(QStringLiteral("Volume %1 on %2 unmounted").arg(visibleText(d->probe.label), d->name));
        else
            say(QStringLiteral("Volume %1 on %2 unmounted here; it stays in use elsewhere: %3")
                    .arg(visibleText(d->probe.label), d->name, elsewhere));
        any = true;
    }
    if (!any)
        return failWith(QStringLiteral("%1 is not mounted").arg(t.device->name));
    return Success;
}

int cmdEject(const Invocation&, Target& t)
{
    const BlockDevice* disk = t.table->wholeDiskOf(*t.device);
    if (!disk)
        return failWith(QStringLiteral("the disk of %1 is not known").arg(t.device->name));
    if (t.table->diskHoldsSystem(*disk))
        return failWith(QStringLiteral("%1 holds a system volume: ejecting it is refused").arg(disk->name));

    const QString name = disk->name;
    const QList<BlockDevice> devices = withPartitions(*t.table, *disk);
    const QString notEjected = QStringLiteral("It was not ejected.");
    // A disk detached or powered off under a live mount takes what that mount
    // has not written yet with it: nothing is unmounted while anyone else
    // uses the disk or a partition of it.
    if (const QString who = usersBeyondOurMounts(devices); !who.isEmpty())
        return failWith(inUseText(name, who, notEjected));

    QStringList unmounted;
    auto stopShort = [&](const QString& why) {
        for (const QString& part : std::as_const(unmounted))
            restoreMount(t, part, true);
        return failWith(why);
    };
    for (const BlockDevice& d : devices) {
        QString why;
        if (!d.isMounted())
            continue;
        unmounted << d.name;
        if (!unmountDevice(d, &why))
            return stopShort(QStringLiteral("%1. %2").arg(why, notEjected));
    }
    {
        // Whatever took it meanwhile, or a mount the unmounts here did not
        // reach after all.
        DevicePin pin(devices.first());
        if (const QString refusal = claimUnused(pin, devices, notEjected); !refusal.isEmpty()) {
            pin.releaseClaim();
            return stopShort(refusal);
        }
    }
    QString why;
    const bool ok = devices.first().isLoop()
        ? runHelper(QStringLiteral("losetup"), {QStringLiteral("-d"), devices.first().node()}, &why, 60000)
        : runHelper(QStringLiteral("eject"), {devices.first().node()}, &why, 60000);
    if (!ok)
        return stopShort(QStringLiteral("%1 failed to eject: %2").arg(name, why));
    say(QStringLiteral("Disk %1 ejected").arg(name));
    return Success;
}

int cmdRename(const Invocation& inv, Target& t)
{
    const BlockDevice d = *t.device;
    const FileSystem* fs = fileSystemForProbe(d.probe.fsType, d.probe.fsVersion);
    if (!fs)
        return failWith(QStringLiteral("%1 holds no file system that can be renamed").arg(d.name));
    if (fs->labelTool.isEmpty())
        return failWith(QStringLiteral("%1 volumes cannot be renamed here: no label tool is known").arg(fs->name));
    if (findProgram(fs->labelTool).isEmpty())
        return failWith(QStringLiteral("%1 volumes cannot be renamed here: %2 is not installed").arg(fs->name, fs->labelTool));
    const QString& requested = inv.arguments.at(1);
    if (const QString problem = fs->labelProblem(requested); !problem.isEmpty())
        return failWith(problem);
    const QString label = fs->normalizedLabel(requested);

    const bool system = t.table->isSystemDevice(d);
    const bool inOurRoot = d.isMounted() && d.mountPoints.first().startsWith(volumesRoot() + '/');
    // A label is changed on the unmounted device unless the file system
    // allows it live; a volume in the volumes root then comes back under its
    // new name, as a person would expect of its folder.
    const bool live = d.isMounted() && fs->labelsWhileMounted && (system || !inOurRoot);
    if (system && !live)
        return failWith(refusedSystem(d, QStringLiteral("renaming")));
    const bool remount = d.isMounted() && !live;
    const QString notRenamed = QStringLiteral("It was not renamed.");
    if (!live) {
        if (const QString who = usersBeyondOurMounts({d}); !who.isEmpty())
            return failWith(inUseText(d.name, who, notRenamed));
    }
    QString why;
    if (remount && !unmountDevice(d, &why)) {
        restoreMount(t, d.name, true);
        return failWith(why);
    }
    // An unmounted device is claimed as for an erase: a label written under
    // another user's mount or open file is a change nobody chose.
    std::optional<DevicePin> pin;
    if (!live) {
        pin.emplace(d);
        if (t.expected.sequence && pin->ok() && pin->diskSequence() != *t.expected.sequence)
            return failWith(mediumChangedText(d), MediumChanged);
        if (const QString refusal = claimUnused(*pin, {d}, notRenamed); !refusal.isEmpty()) {
            pin.reset();
            restoreMount(t, d.name, remount);
            return failWith(refusal);
        }
        // Label tools open the device themselves, some exclusively.
        pin->releaseClaim();
    }
    const bool labelled = runHelperWhenFree(fs->labelTool, fs->labelArgs(d.node(), label), &why, 60000);
    pin.reset();
    if (!labelled && !remount)
        return failWith(QStringLiteral("%1 failed to rename: %2").arg(d.name, why));
    QString failure = labelled ? QString() : QStringLiteral("%1 failed to rename: %2").arg(d.name, why);
    if (remount) {
        const BlockDevice* now = refreshed(t, d.name, &why);
        QString mountPoint;
        if (!now || !mountVolume(*now, &mountPoint, &why))
            return failWith((failure.isEmpty() ? QString() : failure + '\n') + why);
        if (labelled)
            say(QStringLiteral("Volume on %1 renamed to %2 and mounted at %3").arg(d.name, visibleText(label), visibleText(mountPoint)));
    } else if (labelled) {
        say(QStringLiteral("Volume on %1 renamed to %2").arg(d.name, visibleText(label)));
    }
    return failure.isEmpty() ? Success : failWith(failure);
}

// Makes `fs` on the device under `label` and mounts it: the shared end of
// eraseVolume and reformat.
int eraseAndMount(Target& t, const FileSystem& fs, const QString& label)
{
    const BlockDevice d = *t.device;
    if (findProgram(fs.formatTool).isEmpty())
        return failWith(QStringLiteral("%1 volumes cannot be created here: %2 is not installed").arg(fs.name, fs.formatTool));
    if (d.isWholeDisk() && !d.partitions.isEmpty())
        return failWith(QStringLiteral("%1 is a partitioned disk: erase one of its partitions").arg(d.name));
    const BlockDevice* disk = t.table->wholeDiskOf(d);
    if (t.table->isSystemDevice(d) || (d.isWholeDisk() && disk && t.table->diskHoldsSystem(*disk)))
        return failWith(refusedSystem(d, QStringLiteral("erasing")));
    if (d.readOnly)
        return failWith(QStringLiteral("%1 is read-only").arg(d.name));

    // Mounted here and elsewhere too: asked before the unmount here, so that a
    // refusal leaves the volume mounted where it was.
    if (const QString who = usersBeyondOurMounts({d}); !who.isEmpty())
        return failWith(inUseText(d.name, who, kNothingErased));

    QString why;
    const bool wasMounted = d.isMounted();
    if (wasMounted && !unmountDevice(d, &why)) {
        restoreMount(t, d.name, true);
        return failWith(QStringLiteral("%1. %2").arg(why, kNothingErased));
    }
    {
        DevicePin pin(d);
        if (t.expected.sequence && pin.ok() && pin.diskSequence() != *t.expected.sequence)
            return failWith(mediumChangedText(d), MediumChanged);
        // Mounted in another namespace or held by another program: a
        // formatter that does not check would destroy a live file system.
        // The exclusive claim misses plain opens and some FUSE mounts.
        if (const QString refusal = claimUnused(pin, {d}, kNothingErased); !refusal.isEmpty()) {
            pin.releaseClaim();
            restoreMount(t, d.name, wasMounted);
            return failWith(refusal);
        }
        say(QStringLiteral("Started erase on %1").arg(d.name));
        QStringList args = fs.formatArgs(label);
        args << d.node();
        // The claim passes to a formatter that takes its own; a device taken
        // in that instant makes the formatter fail, never write.
        if (fs.formatterClaimsDevice)
            pin.releaseClaim();
        if (!runHelper(fs.formatTool, args, &why)) {
            pin.releaseClaim();
            restoreMount(t, d.name, wasMounted);
            return failWith(QStringLiteral("%1 failed to erase: %2").arg(d.name, why));
        }
    }
    say(QStringLiteral("Erased %1 as %2 \"%3\"").arg(d.name, fs.name, visibleText(label)));

    const BlockDevice* now = refreshed(t, d.name, &why);
    QString mountPoint;
    if (!now || !mountVolume(*now, &mountPoint, &why))
        return failWith(QStringLiteral("%1 was erased but could not be mounted: %2").arg(d.name, why));
    say(QStringLiteral("Volume %1 on %2 mounted at %3").arg(visibleText(label), d.name, visibleText(mountPoint)));
    say(QStringLiteral("Finished erase on %1").arg(d.name));
    return Success;
}

int cmdEraseVolume(const Invocation& inv, Target& t)
{
    const FileSystem* fs = fileSystemNamed(inv.arguments.at(0));
    if (!fs) {
        QStringList names;
        for (const FileSystem& f : fileSystems())
            names << QStringLiteral("\"%1\"").arg(f.name);
        return failWith(QStringLiteral("unknown file system \"%1\"; known: %2")
                            .arg(inv.arguments.at(0), names.join(QStringLiteral(", "))));
    }
    const QString& name = inv.arguments.at(1);
    if (const QString problem = fs->labelProblem(name); !problem.isEmpty())
        return failWith(problem);
    return eraseAndMount(t, *fs, fs->normalizedLabel(name));
}

int cmdReformat(const Invocation&, Target& t)
{
    const FileSystem* fs = fileSystemForProbe(t.device->probe.fsType, t.device->probe.fsVersion);
    if (!fs)
        return failWith(QStringLiteral("%1 holds no file system that can be reformatted").arg(t.device->name));
    return eraseAndMount(t, *fs, fs->normalizedLabel(t.device->probe.label));
}

// Runs the checker with its output passed on line by line as it comes, so a
// caller reading the pipe sees progress, not one block at the end.
int streamChecker(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForStarted(-1))
        return -1;
    auto pass = [&p](bool all) {
        while (p.canReadLine())
            say(QString::fromUtf8(p.readLine()).chopped(1));
        if (all && p.bytesAvailable() > 0)
            say(QString::fromUtf8(p.readAll()));
    };
    while (p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(200);
        pass(false);
    }
    pass(true);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

int cmdCheck(const Invocation&, Target& t, bool repair)
{
    const BlockDevice d = *t.device;
    const FileSystem* fs = fileSystemForProbe(d.probe.fsType, d.probe.fsVersion);
    if (!fs || fs->checker.isEmpty())
        return failWith(QStringLiteral("%1 holds no file system that can be checked").arg(d.name));
    const QString checker = findProgram(fs->checker);
    if (checker.isEmpty())
        return failWith(QStringLiteral("%1 volumes cannot be checked here: %2 is not installed").arg(fs->name, fs->checker));
    if (t.table->isSystemDevice(d))
        return failWith(refusedSystem(d, repair ? QStringLiteral("repairing") : QStringLiteral("checking")));
    // A repair writes to the file system: under a live mount anywhere it
    // corrupts what that mount holds. A read-only verify may run.
    const QString notRepaired = QStringLiteral("It was not repaired.");
    if (repair) {
        if (const QString who = usersBeyondOurMounts({d}); !who.isEmpty())
            return failWith(inUseText(d.name, who, notRepaired));
    }

    const bool wasMounted = d.isMounted();
    QString why;
    if (wasMounted && !unmountDevice(d, &why)) {
        restoreMount(t, d.name, true);
        return failWith(why);
    }
    std::optional<DevicePin> pin;
    if (repair) {
        pin.emplace(d);
        if (t.expected.sequence && pin->ok() && pin->diskSequence() != *t.expected.sequence)
            return failWith(mediumChangedText(d), MediumChanged);
        if (const QString refusal = claimUnused(*pin, {d}, notRepaired); !refusal.isEmpty()) {
            pin.reset();
            restoreMount(t, d.name, wasMounted);
            return failWith(refusal);
        }
        if (fs->checkerClaimsDevice)
            pin->releaseClaim();
    }
    say(QStringLiteral("Started file system %1 on %2").arg(repair ? QStringLiteral("repair") : QStringLiteral("verification"), displayName(d)));
    QStringList args = repair ? fs->repairArgs : fs->verifyArgs;
    args << d.node();
    const int code = streamChecker(checker, args);
    pin.reset();
    const bool ok = (repair ? fs->repairOkCodes : fs->verifyOkCodes).contains(code);

    QString remountProblem;
    if (wasMounted) {
        const BlockDevice* now = refreshed(t, d.name, &why);
        QString mountPoint;
        if (!now || !mountVolume(*now, &mountPoint, &why))
            remountProblem = why;
    }
    if (!ok) {
        QString reason = code < 0 ? QStringLiteral("%1 could not be run").arg(fs->checker)
                                  : QStringLiteral("%1 ended with status %2").arg(fs->checker).arg(code);
        return failWith(QStringLiteral("File system %1 failed on %2: %3%4")
                            .arg(repair ? QStringLiteral("repair") : QStringLiteral("verification"), d.name, reason,
                                 remountProblem.isEmpty() ? QString() : '\n' + remountProblem));
    }
    say(repair ? QStringLiteral("File system repair complete: the volume %1 is OK").arg(displayName(d))
               : QStringLiteral("The volume %1 appears to be OK").arg(displayName(d)));
    if (!remountProblem.isEmpty())
        return failWith(remountProblem);
    return Success;
}

}  // namespace

bool parseGlobalOption(const QString& option, Invocation& inv)
{
    if (option == QLatin1String("--show-loop-as-usb")) {
        inv.presentation.loopAsUsb = true;
        return true;
    }
    static const QString sequence = QStringLiteral("--expect-sequence=");
    static const QString uuid = QStringLiteral("--expect-uuid=");
    if (option.startsWith(sequence)) {
        bool ok = false;
        const quint64 n = option.mid(sequence.size()).toULongLong(&ok);
        if (!ok)
            return false;
        inv.expected.sequence = n;
        return true;
    }
    if (option.startsWith(uuid)) {
        inv.expected.uuid = option.mid(uuid.size());
        return true;
    }
    return false;
}

QString usageText()
{
    return QStringLiteral(
        "usage: diskutil [--show-loop-as-usb] [--expect-sequence=N] [--expect-uuid=UUID] <command> [arguments]\n"
        "  list [-plist]\n"
        "  info [-plist] <target>\n"
        "  mount <target>\n"
        "  unmount <target>\n"
        "  eject <target>\n"
        "  rename <target> <new name>\n"
        "  eraseVolume <type> <name> <target>\n"
        "  reformat <target>\n"
        "  verifyvolume <target>\n"
        "  repairvolume <target>\n"
        "A target is a device identifier (sdb1), a device node (/dev/sdb1),\n"
        "a mount point, a UUID or a volume name.\n"
        "--expect-sequence and --expect-uuid give the DiskSequence and VolumeUUID\n"
        "that info printed: a command that changes the device refuses (status 3)\n"
        "when the device now holds another medium.");
}

int dispatchCommand(const Invocation& inv)
{
    const QString& c = inv.command;
    if (c == QLatin1String("list"))
        return cmdList(inv);
    if (c == QLatin1String("info"))
        return cmdInfo(inv);

    // The commands that change a disk: root, a fixed argument count, and one
    // of the arguments names the device they act on.
    struct Command
    {
        const char* word;
        qsizetype argumentCount;
        qsizetype targetIndex;
        const char* arguments;
        std::function<int(const Invocation&, Target&)> run;
    };
    static const Command commands[] = {
        {"mount", 1, 0, "<partition or volume>", cmdMount},
        {"unmount", 1, 0, "<partition, mount point or volume>", cmdUnmount},
        {"eject", 1, 0, "<disk, partition, mount point or volume>", cmdEject},
        {"rename", 2, 0, "<partition or volume> <new name>", cmdRename},
        {"eraseVolume", 3, 2, "<type> <name> <partition or volume>", cmdEraseVolume},
        {"reformat", 1, 0, "<partition or volume>", cmdReformat},
        {"verifyvolume", 1, 0, "<partition, mount point or volume>",
         [](const Invocation& i, Target& t) { return cmdCheck(i, t, false); }},
        {"repairvolume", 1, 0, "<partition, mount point or volume>",
         [](const Invocation& i, Target& t) { return cmdCheck(i, t, true); }},
    };
    for (const Command& command : commands) {
        if (c != QLatin1String(command.word))
            continue;
        int status = Success;
        if (!needRoot(c, &status))
            return status;
        if (inv.arguments.size() != command.argumentCount)
            return failWith(QStringLiteral("usage: diskutil %1 %2").arg(c, QLatin1String(command.arguments)), Usage);
        Target t = resolveTarget(inv.arguments.at(command.targetIndex));
        if (!t.device)
            return t.status;
        t.expected = inv.expected;
        // One command per disk at a time; what the device looks like is read
        // again once the disk is ours.
        const DiskLock lock(t.device->wholeDisk);
        if (!lock.ok())
            return failWith(lock.error());
        QString why;
        const QString name = t.device->name;
        if (!refreshed(t, name, &why))
            return failWith(why);
        t.table->probe({t.table->device(name)->wholeDisk});
        t.device = t.table->device(name);
        if (!isExpectedMedium(t, diskSequenceOf(t.device->wholeDisk)))
            return failWith(mediumChangedText(*t.device), MediumChanged);
        return command.run(inv, t);
    }
    return failWith(QStringLiteral("unknown command \"%1\"\n%2").arg(c, usageText()), Usage);
}

}  // namespace diskutil
