#pragma once
#include "Comm/VolumeObj.h"
#include "platform/DiskTool.h"

#include <QList>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <optional>

// The drive wiper's view of the mounted volumes: every block device in the
// mount table, described by `diskutil info -plist <device node>`. A volume
// is known by its device node; its name is only a label.
namespace WipeVolumes {

// The size text of the list ("999 byte", "1000.00 KB", "1.00 MB", ...).
QString byteToSizeWithByte(uint64_t bytes);

// The device's description, or nothing when diskutil cannot give one.
std::optional<QVariantMap> getDisjInfo(const platform::DiskTool& tool, const QString& deviceNode);

// The record the list shows for one description; nothing for a volume the
// list leaves out (no name key, "EFI", a disk image).
VolumeObjPtr volumeFromInfo(const QVariantMap& info);

// Whether the device `info` describes still holds the medium `chosen` was
// read from: the same node, disk sequence and, unless the volume was made
// anew since (`sameFileSystem` false), the same file-system UUID.
bool holdsMedium(const QVariantMap& info, const VolumeObj& chosen, bool sameFileSystem = true);

// Blocking: reads the mount table and asks diskutil about each device once.
QList<VolumeObjPtr> scan(const platform::DiskTool& tool);

// The system's own volumes are never wiped whole.
bool isSystemMountPoint(const QString& mountPoint);
bool isSystemVolume(const QVariantMap& info);

}  // namespace WipeVolumes
