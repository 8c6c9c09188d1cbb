#pragma once
// The older names of the workspace's opening and revealing, kept for the
// screens that call them; everything is done by platform/Workspace.
#include "platform/Workspace.h"

namespace platform {

// An absolute path opens as a file, anything else as a web address.
inline bool openAsInvokingUser(const QString& target)
{
    return openUrlOrFile(target);
}

inline bool revealAsInvokingUser(const QString& path)
{
    return revealInFileManager(path);
}

}  // namespace platform
