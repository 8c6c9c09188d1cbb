#pragma once
#include <QString>

// What no erasure may touch, for every program that erases: the screen's
// list refuses it when it is added, the launcher before its window opens.
namespace SystemItems {

// "/" itself however spelt, a device node, anything on a kernel-made file
// system (proc, sysfs, ...), and the mount point of a volume the system
// runs from ("/boot", "/usr", "/home", ...) or of a bind mount of one.
bool isSystemItem(const QString& path);

}  // namespace SystemItems
