#pragma once
#include <cstdint>
#include <string>
#include <sys/types.h>

// What the walk needs to know about a directory entry, from one statx.
struct Entry
{
    mode_t mode = 0;
    uid_t owner = 0;
    dev_t device = 0;
    ino_t inode = 0;
    nlink_t links = 0;
    off_t size = 0;
    off_t allocated = 0;     // bytes in allocated blocks
    off_t blockSize = 4096;  // the file system's preferred I/O size
    // The mount an entry belongs to. Two mounts of one file system (a bind mount)
    // share a device number, so only this tells that a folder is a mount point.
    uint64_t mountId = 0;
    bool hasMountId = false;

    bool sameMount(const Entry& other) const
    {
        return device == other.device && (!hasMountId || !other.hasMountId || mountId == other.mountId);
    }
    bool sameObject(const Entry& other) const { return device == other.device && inode == other.inode; }
};

// The entry `name` in `dirFd`, not following a link; `name` empty means `dirFd` itself.
// Returns 0 or an errno value.
int statEntry(int dirFd, const std::string& name, Entry& entry);

// The kind of kernel pseudo file system (proc, sysfs, devtmpfs, ...) `fd` lies on,
// or empty for a file system that stores files. Files there are kernel interfaces:
// overwriting one writes to the kernel, and nothing on them holds data to shred.
std::string pseudoFileSystem(int fd, const Entry& self);

// Whether some process has the file `name` in `dirFd` (which must still be `entry`)
// open for writing: 1 yes, 0 no, -1 cannot tell. Such a writer could put the
// data back after the overwrite, or keep it alive after the unlink.
int fileOpenForWriting(int dirFd, const std::string& name, const Entry& entry);
