#pragma once
#include "Devices.h"

#include <QVariantMap>

namespace diskutil {

// How loop devices present themselves: as disk images (hidden by the
// program's filters, as disk images are) or, for tests, as USB sticks.
struct Presentation
{
    bool loopAsUsb = false;
};

// The key under which info gives the disk-description name of a volume.
extern const QString kDADiskDescriptionVolumeNameKey;

// "GUID_partition_scheme", "EFI", "Linux_Swap", "" for a plain volume, ...
QString contentOf(const BlockDevice& device);
// The personality's name, the raw type for a file system without one, or ""
// for something that is no file system (swap, LVM, LUKS, RAID members).
QString filesystemNameOf(const BlockDevice& device);
QString busProtocolOf(const BlockDevice& device, const Presentation& how);

// `list -plist`: probes every device of the table.
QVariantMap listDictionary(DeviceTable& table);
// `info -plist`: probes the device (and its disk).
QVariantMap infoDictionary(DeviceTable& table, const BlockDevice& device, const Presentation& how);

// A name that is not ours as a terminal may show it: control characters
// (C0, DEL, C1) as \xNN and a backslash as \\, so no escape sequence of a
// label reaches the terminal and every byte of it stays visible.
QString visibleText(const QString& text);
// The same for control characters only, line by line: for whole messages.
QString withoutControls(const QString& text);

// Plain-text forms of the same, for a person at a terminal; every value
// through visibleText().
QString listText(const QVariantMap& list);
QString infoText(const QVariantMap& info);

}  // namespace diskutil
