#pragma once
#include <QString>

namespace platform {

// The mount a path lies on, as /proc/self/mountinfo tells it.
struct MountEntry
{
    QString mountPoint;
    QString fileSystem;  // "ext4", "vfat", "ntfs", ... (FUSE block mounts resolved through blkid)
    QString source;      // the device node, or what the mount names as its source
};

// The mount holding `path` (matched by device number, so bind mounts and
// links resolve to where the data is). A path that does not exist is judged
// by its nearest existing ancestor. Empty on failure.
MountEntry mountOf(const QString& path);

QString fileSystemType(const QString& path);
bool isNtfs(const QString& path);
// proc, sysfs, devtmpfs and the other kernel-made trees: nothing there is a user's file.
bool isPseudoFileSystem(const QString& path);
bool isDeviceNode(const QString& path);

}  // namespace platform
