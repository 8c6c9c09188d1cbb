#pragma once
#include "Devices.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace diskutil {

// Whether the mounts of this process's own mount namespace are uses.
enum class OurMounts
{
    // After unmounting here: nothing may be left anywhere.
    Count,
    // Before unmounting here: what that unmount ends is no use. That is the
    // mounts of this namespace, the copies of them the kernel unmounts along
    // (their peers and slaves, in namespaces of this user namespace: a copy
    // in a namespace of another user namespace is locked and stays), and a
    // FUSE driver while one of the devices is FUSE-mounted here.
    Ignore,
};

// Who else uses the devices (the first is the one acted on, "it" in the
// answer; its partitions may follow): a mount of one in any mount namespace
// (by its numbers, or by its node as a FUSE driver names it), or a process
// of this system holding one open. This process does not count. A clause
// saying who ("it is mounted at /mnt in the mount namespace of process 7
// (sleep)", "process 9 (dd) has sdb1 open"), or empty when nobody does.
QString otherUsersOf(const QList<BlockDevice>& devices, OurMounts ours,
                     const QString& procRoot = QStringLiteral("/proc"));

// The same, asked again for two seconds while it is only a process: a probe
// that opens a device just set free lets go of it at once, a user's program
// does not.
QString otherUsersAfterProbes(const QList<BlockDevice>& devices, OurMounts ours);

// The kernel names of the volumes stacked on a device (device-mapper, RAID,
// bcache): /sys/class/block/<name>/holders.
QStringList holdersOf(const QString& kernelName);

// Whether something is mounted at `path` or below it in any mount namespace
// (every /proc/<pid>/mountinfo, once per namespace). Removing such a folder
// would detach those mounts, and mounting there would hide them.
bool mountedAtOrBelowAnywhere(const QString& path, const QString& procRoot = QStringLiteral("/proc"));

// Loop devices that read or write the devices without any holder link or
// claim: one attached to one of them or to the first one's whole disk, and
// one attached to the same image as a loop device among them. A clause
// ("the loop device loop7 is attached to it"), or empty.
QString loopDevicesOn(const QList<BlockDevice>& devices, const QString& sysBlock = QStringLiteral("/sys/block"));

// Who keeps the devices in use once their mounts here are gone: a volume
// stacked on one, a mount elsewhere that unmounting here does not reach, a
// program holding one open. Asked before anything is unmounted, so that a
// refusal leaves every mount as it was found. A clause as above, or empty.
QString usersBeyondOurMounts(const QList<BlockDevice>& devices);

}  // namespace diskutil
