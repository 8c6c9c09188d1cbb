#pragma once
#include <QString>

#include <sys/types.h>

namespace platform {

// How the folders above the removed path may be reached.
enum class PathLinks {
    Follow,  // as the path names them, links included
    Refuse,  // no component may be a symbolic link: a folder swapped for a link
             // between listing and removing makes the removal fail
};

// Removes a file, a link (never its target) or a whole folder, contents
// first. Never follows a link and never enters another mount: mounts are told
// apart by mount ID, so a bind mount of the same file system inside the tree
// is left alone (and the folder holding it stays). Works relative to open
// folders, checking each folder it enters is the one it listed.
// True only when the path no longer exists afterwards.
bool removeTree(const QString& path, PathLinks links = PathLinks::Follow);

// The same removal of the entry `name` of the open folder `dirFd`. An entry
// that is a mount point, or lies on another mount than `dirFd`, is refused
// (false) and nothing below it is touched.
bool removeEntry(int dirFd, const char* name);

// The same removal done by a child process running as `uid`/`gid` (with the
// user's groups), so the kernel keeps it within what that user may remove.
// True only when the path no longer exists afterwards.
bool removeTreeAsUser(const QString& path, uid_t uid, gid_t gid, PathLinks links = PathLinks::Refuse);

}  // namespace platform
