#pragma once
#include <QString>
#include <cstdint>

namespace platform {

// The logical size of a file, or the sum of the logical sizes of everything
// below a folder. Symbolic links count as their own entry and are never
// followed; the walk stays on the folder's file system. Iterative, so a deep
// tree cannot exhaust the stack. A path that does not exist gives 0.
uint64_t folderSize(const QString& path);

}  // namespace platform
