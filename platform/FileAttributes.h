#pragma once
#include <QString>

namespace platform {

// The immutable and append-only inode flags. A file system without such
// flags (ENOTTY) reads as "not immutable".
bool isImmutable(const QString& path);
// Clears both flags; true when none is left set.
bool clearImmutable(const QString& path);

}  // namespace platform
