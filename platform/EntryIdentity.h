#pragma once
#include <cstdint>
#include <optional>

namespace platform {

// What identifies a directory entry for a walk that must stay on one mount
// and never loop: the device alone cannot tell a bind mount of the same file
// system from the folder it sits in, the mount ID can.
struct EntryIdentity
{
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t mountId = 0;
    bool hasMountId = false;  // kernels before 5.8 do not report it
    bool isMountRoot = false;
    uint32_t mode = 0;        // st_mode bits of the entry itself (links not followed)

    bool sameMount(const EntryIdentity& other) const
    {
        if (hasMountId && other.hasMountId)
            return mountId == other.mountId;
        return device == other.device;
    }
    // On the same mount and the same device: a btrfs subvolume shares its
    // folder's mount but not its device, a bind mount the reverse.
    bool sameVolume(const EntryIdentity& other) const
    {
        return sameMount(other) && device == other.device;
    }
    bool sameObject(const EntryIdentity& other) const
    {
        return device == other.device && inode == other.inode;
    }
};

// The entry `name` relative to the open folder `dirFd` (AT_FDCWD for a path),
// never following a link or triggering an automount. Empty name: `dirFd` itself.
std::optional<EntryIdentity> entryIdentity(int dirFd, const char* name);

}  // namespace platform
