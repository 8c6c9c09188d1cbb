#pragma once
#include <QString>

namespace platform {

// Removes a file, a link (never its target) or a whole folder, contents
// first, without following links or crossing into another file system.
// True when the path no longer exists.
bool removeTree(const QString& path);

}  // namespace platform
