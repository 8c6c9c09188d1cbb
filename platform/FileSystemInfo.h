#pragma once
#include "platform/MountTable.h"

#include <QString>

namespace platform {

// The mount holding `path` (matched by device number, so bind mounts and
// links resolve to where the data is), its type with FUSE block mounts
// resolved through the device's own signature. A path that does not exist is
// judged by its nearest existing ancestor. Empty on failure.
MountEntry mountOf(const QString& path);

QString fileSystemType(const QString& path);
bool isNtfs(const QString& path);
// proc, sysfs, devtmpfs and the other kernel-made trees: nothing there is a user's file.
bool isPseudoFileSystem(const QString& path);
bool isDeviceNode(const QString& path);

// Bytes per cluster read from the FAT boot sector on `node`; 0 when it
// cannot be read or is no FAT boot sector. The FUSE FAT driver tells no
// blocks, only its free clusters (as free inodes): this gives them a size.
qint64 fatClusterSize(const QString& node);

}  // namespace platform
