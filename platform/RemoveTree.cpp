#include "platform/RemoveTree.h"

#include "platform/EntryIdentity.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/openat2.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace platform {

namespace {

// Everything below runs in a freshly forked child too, so it sticks to plain
// system calls and the standard library.

bool isDotOrDotDot(const char* n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

// The folder holding the entry, opened without following a link in any
// component when asked; -1 when it cannot be opened that way.
int openParent(const std::string& parent, PathLinks links)
{
    if (links == PathLinks::Refuse) {
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, AT_FDCWD, parent.c_str(), &how, sizeof how);
        if (fd >= 0 || errno != ENOSYS)
            return static_cast<int>(fd);
        // Kernels before 5.6: at least the last component must not be a link.
        return ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    return ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Opens the folder `name` of `dirFd` and checks it is the object that was
// looked at (no swap for a link or another folder in between).
int openChecked(int dirFd, const char* name, const EntryIdentity& expected)
{
    const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const auto opened = entryIdentity(fd, "");
    if (!opened || !opened->sameObject(expected) || !opened->sameVolume(expected)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Frame
{
    int parentFd;       // owned by the frame below (or the caller for the first)
    std::string name;   // in the parent
    DIR* dir;
};

// Empties and removes the folder `name` of `parentFd`. Entries on another
// mount than `top` are left in place, so their folder stays too.
void removeFolder(int parentFd, const char* name, const EntryIdentity& top)
{
    const int firstFd = openChecked(parentFd, name, top);
    if (firstFd < 0)
        return;
    DIR* first = ::fdopendir(firstFd);
    if (!first) {
        ::close(firstFd);
        return;
    }
    std::vector<Frame> stack{{parentFd, name, first}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const int fd = ::dirfd(frame.dir);
        const dirent* entry = ::readdir(frame.dir);
        if (entry == nullptr) {
            const int parent = frame.parentFd;
            const std::string done = frame.name;
            ::closedir(frame.dir);
            stack.pop_back();
            ::unlinkat(parent, done.c_str(), AT_REMOVEDIR);  // fails while anything was left
            continue;
        }
        if (isDotOrDotDot(entry->d_name))
            continue;
        const auto id = entryIdentity(fd, entry->d_name);
        if (!id)
            continue;
        // A mount inside the tree (bind mounts of the same file system, and
        // a file mounted over a file, included) stays, with what is below it.
        if (id->isMountRoot || !id->sameVolume(top))
            continue;
        if (!S_ISDIR(id->mode)) {
            ::unlinkat(fd, entry->d_name, 0);
            continue;
        }
        const int childFd = openChecked(fd, entry->d_name, *id);
        if (childFd < 0)
            continue;
        DIR* child = ::fdopendir(childFd);
        if (!child) {
            ::close(childFd);
            continue;
        }
        stack.push_back({fd, entry->d_name, child});
    }
}

bool gone(int parentFd, const char* name)
{
    struct stat st{};
    return ::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

bool removeAt(const std::string& path, PathLinks links)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const size_t slash = p.rfind('/');
    if (p.empty() || p[0] != '/' || p == "/" || slash == std::string::npos)
        return false;  // only absolute paths, never the root folder
    const std::string parent = slash == 0 ? std::string("/") : p.substr(0, slash);
    const std::string name = p.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        return false;

    const int parentFd = openParent(parent, links);
    if (parentFd < 0)
        return errno == ENOENT;
    const bool result = removeEntry(parentFd, name.c_str());
    ::close(parentFd);
    return result;
}

}  // namespace

bool removeEntry(int dirFd, const char* name)
{
    const auto id = entryIdentity(dirFd, name);
    if (!id)
        return gone(dirFd, name);
    const auto parentId = entryIdentity(dirFd, "");
    // An entry that is itself a mount point (or on another mount than its
    // folder) is never emptied nor unlinked: that would reach another volume.
    if (!parentId || id->isMountRoot || !id->sameVolume(*parentId))
        return false;
    if (!S_ISDIR(id->mode)) {
        ::unlinkat(dirFd, name, 0);
        return gone(dirFd, name);
    }
    // A second pass catches entries a listing may skip while entries go.
    for (int pass = 0; pass < 2 && !gone(dirFd, name); ++pass)
        removeFolder(dirFd, name, *id);
    return gone(dirFd, name);
}

bool removeTree(const QString& path, PathLinks links)
{
    return removeAt(QFile::encodeName(path).toStdString(), links);
}

bool removeTreeAsUser(const QString& path, uid_t uid, gid_t gid, PathLinks links)
{
    const std::string p = QFile::encodeName(path).toStdString();
    // Everything the child needs is prepared here: after fork only the
    // removal itself runs.
    std::vector<gid_t> groups(64);
    int count = static_cast<int>(groups.size());
    if (const passwd* pw = ::getpwuid(uid)) {
        if (::getgrouplist(pw->pw_name, gid, groups.data(), &count) < 0) {
            groups.resize(count);
            ::getgrouplist(pw->pw_name, gid, groups.data(), &count);
        }
        groups.resize(count);
    } else {
        groups.assign(1, gid);
    }

    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        if (::setgroups(groups.size(), groups.data()) != 0 || ::setresgid(gid, gid, gid) != 0
            || ::setresuid(uid, uid, uid) != 0)
            ::_exit(2);
        ::_exit(removeAt(p, links) ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    // The child's word is not taken for it: the path is looked at again.
    struct stat st{};
    const bool absent = ::lstat(p.c_str(), &st) != 0 && errno == ENOENT;
    return absent && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
