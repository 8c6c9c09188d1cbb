#include "FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

namespace {

// The slow way, where a lease cannot be had: every process's open files. Only
// what the caller may look at is seen, so "no" means "none that we can see".
int writersInProc(const Entry& entry)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return -1;
    const std::string self = std::to_string(::getpid());
    int found = 0;
    while (const dirent* p = ::readdir(proc)) {
        if (p->d_name[0] < '0' || p->d_name[0] > '9' || self == p->d_name)
            continue;
        const std::string base = std::string("/proc/") + p->d_name;
        DIR* fds = ::opendir((base + "/fd").c_str());
        if (!fds)
            continue;
        while (const dirent* f = ::readdir(fds)) {
            if (f->d_name[0] == '.')
                continue;
            struct stat st;
            if (::fstatat(::dirfd(fds), f->d_name, &st, 0) != 0 || st.st_ino != entry.inode ||
                st.st_dev != entry.device)
                continue;
            // The access mode is in the "flags:" line, in octal.
            std::FILE* info = std::fopen((base + "/fdinfo/" + f->d_name).c_str(), "re");
            unsigned long flags = 0;
            bool known = false;
            if (info) {
                char line[128];
                while (std::fgets(line, sizeof line, info))
                    if (std::sscanf(line, "flags: %lo", &flags) == 1) {
                        known = true;
                        break;
                    }
                std::fclose(info);
            }
            if (!known || (flags & O_ACCMODE) != O_RDONLY) {
                found = 1;
                break;
            }
        }
        ::closedir(fds);
        if (found)
            break;
    }
    ::closedir(proc);
    return found;
}

}  // namespace

int fileOpenForWriting(int dirFd, const std::string& name, const Entry& entry)
{
    // A read lease is refused (EAGAIN) exactly while anyone has the file open for
    // writing, shared writable mappings included. O_NONBLOCK: a write lease someone
    // else holds is not waited for.
    const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        Entry opened;
        if (statEntry(fd, "", opened) == 0 && opened.sameObject(entry)) {
            if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
                ::fcntl(fd, F_SETLEASE, F_UNLCK);
                ::close(fd);
                return 0;
            }
            if (errno == EAGAIN) {
                ::close(fd);
                return 1;
            }
        }
        ::close(fd);
    }
    // No lease here (another user's file without CAP_LEASE, a file system without
    // leases, a file we may not read).
    return writersInProc(entry);
}
