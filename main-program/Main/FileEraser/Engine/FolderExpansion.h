#pragma once
#include "Main/FileEraser/Engine/FileObj.h"

// Turning a ticked folder into the items of a run: depth first, contents
// before their folder. Shared by the shredder screen and the launcher.
namespace FolderExpansion {

// One ticked item for a path; `size` from the path's own attributes (a link
// is described, never followed), the folder flag as given.
FileObjPtr buildFileObj(const QString& path, bool isDir);

// Appends the contents of `folder` to `out`, each subfolder's contents
// before the subfolder itself. Never follows a symbolic link (a link is an
// entry of its own), never enters another mount (a bind mount of the same
// file system included), and so cannot loop. Iterative: depth is bounded
// only by the tree. The entries carry their paths' exact bytes and no icon,
// so this may run on any thread.
void eumeAllArrWithFileObj(const FileObjPtr& folder, FileObjList& out);

// The run list for a list of items: every ticked folder expanded, then the
// item itself.
FileObjList buildRunList(const FileObjList& items);

}  // namespace FolderExpansion
