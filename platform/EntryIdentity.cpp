#include "platform/EntryIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

std::optional<EntryIdentity> entryIdentity(int dirFd, const char* name)
{
    int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
    if (name == nullptr || *name == '\0') {
        flags |= AT_EMPTY_PATH;
        name = "";
    }
    struct statx sx{};
    if (::statx(dirFd, name, flags, STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0)
        return std::nullopt;
    EntryIdentity id;
    id.device = (uint64_t(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    id.inode = sx.stx_ino;
    id.mode = sx.stx_mode;
    id.hasMountId = (sx.stx_mask & STATX_MNT_ID) != 0;
    id.mountId = sx.stx_mnt_id;
#ifdef STATX_ATTR_MOUNT_ROOT
    if (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        id.isMountRoot = (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#endif
    return id;
}

}  // namespace platform
