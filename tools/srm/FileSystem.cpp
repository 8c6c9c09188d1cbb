#include "FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

int statEntry(int dirFd, const std::string& name, Entry& entry)
{
    struct statx sx;
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (name.empty() ? AT_EMPTY_PATH : 0);
    if (::statx(dirFd, name.c_str(), flags, STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0)
        return errno;
    entry.mode = sx.stx_mode;
    entry.owner = sx.stx_uid;
    entry.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    entry.inode = sx.stx_ino;
    entry.links = sx.stx_nlink;
    entry.size = static_cast<off_t>(sx.stx_size);
    entry.allocated = static_cast<off_t>(sx.stx_blocks * 512);
    entry.blockSize = sx.stx_blksize > 0 ? static_cast<off_t>(sx.stx_blksize) : 4096;
    entry.hasMountId = (sx.stx_mask & STATX_MNT_ID) != 0;
    entry.mountId = sx.stx_mnt_id;
    return 0;
}

namespace {

struct Magic
{
    long type;
    const char* name;
};

const Magic kPseudoMagics[] = {
    {PROC_SUPER_MAGIC, "proc"},
    {SYSFS_MAGIC, "sysfs"},
    {DEVPTS_SUPER_MAGIC, "devpts"},
    {CGROUP_SUPER_MAGIC, "cgroup"},
    {CGROUP2_SUPER_MAGIC, "cgroup2"},
    {DEBUGFS_MAGIC, "debugfs"},
    {SECURITYFS_MAGIC, "securityfs"},
    {TRACEFS_MAGIC, "tracefs"},
    {0x62656570, "configfs"},
    {BPF_FS_MAGIC, "bpf"},
    {PSTOREFS_MAGIC, "pstore"},
    {static_cast<long>(EFIVARFS_MAGIC), "efivarfs"},
    {static_cast<long>(HUGETLBFS_MAGIC), "hugetlbfs"},
    {0x19800202, "mqueue"},
    {0x65735543, "fusectl"},
    {BINFMTFS_MAGIC, "binfmt_misc"},
    {static_cast<long>(SELINUX_MAGIC), "selinuxfs"},
    {SMACK_MAGIC, "smackfs"},
    {NSFS_MAGIC, "nsfs"},
    {AUTOFS_SUPER_MAGIC, "autofs"},
    {0x67596969, "rpc_pipefs"},
    {0x6e667364, "nfsd"},
};

// devtmpfs reports the tmpfs magic, so the mount table is asked for the type by name.
const char* const kPseudoNames[] = {
    "proc",       "sysfs", "devtmpfs", "devpts", "cgroup",   "cgroup2",   "debugfs",     "securityfs",
    "tracefs",    "configfs", "bpf",   "pstore", "efivarfs", "hugetlbfs", "mqueue",      "fusectl",
    "binfmt_misc", "selinuxfs", "smackfs", "nsfs", "autofs", "rpc_pipefs", "nfsd",
};

std::string mountType(uint64_t mountId)
{
    FILE* f = std::fopen("/proc/self/mountinfo", "re");
    if (!f)
        return {};
    std::string type;
    char* line = nullptr;
    size_t capacity = 0;
    while (::getline(&line, &capacity, f) > 0) {
        unsigned long long id = 0;
        if (std::sscanf(line, "%llu", &id) != 1 || id != mountId)
            continue;
        // The optional fields end at " - ", then come the type and the source.
        if (const char* dash = std::strstr(line, " - ")) {
            char name[64] = {};
            if (std::sscanf(dash + 3, "%63s", name) == 1)
                type = name;
        }
        break;
    }
    std::free(line);
    std::fclose(f);
    return type;
}

}  // namespace

std::string pseudoFileSystem(int fd, const Entry& self)
{
    struct statfs sf;
    if (::fstatfs(fd, &sf) == 0) {
        for (const auto& m : kPseudoMagics)
            if (static_cast<long>(sf.f_type) == m.type)
                return m.name;
    }
    if (self.hasMountId) {
        const std::string type = mountType(self.mountId);
        for (const char* name : kPseudoNames)
            if (type == name)
                return type;
    }
    return {};
}
