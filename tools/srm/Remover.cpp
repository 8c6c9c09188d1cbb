#include "Remover.h"

#include "FolderWalk.h"
#include "Passes.h"
#include "Random.h"
#include "Stop.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace {

// Folders held open at once while walking a tree. Deeper levels are closed and
// reopened through ".." on the way back up, so any depth fits under the fd limit.
constexpr size_t kOpenFolders = 64;

// Clears immutable and append-only (which forbid both the overwrite and the unlink)
// where the kernel lets us: root with CAP_LINUX_IMMUTABLE.
void clearProtectionFlags(int fd)
{
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
        return;  // a file system without such flags
    const int protect = FS_IMMUTABLE_FL | FS_APPEND_FL;
    if (flags & protect) {
        flags &= ~protect;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
}

struct Frame
{
    std::string name;   // in its parent folder
    std::string shown;  // as the user would write it
    DIR* dir = nullptr; // null while closed to stay under the fd limit
    Entry entry;
    bool failed = false;
    // Children that could not be removed: after a reopen they are not tried again.
    std::unordered_set<std::string> leftAlone;
    bool reported = false;  // its failure has been told
};

}  // namespace

Remover::Remover(const Options& options, Random& random, Report& report)
    : m_options(options), m_random(random), m_report(report), m_overwriter(random, report)
{
}

bool Remover::removeArgument(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (p == "/") {
        fail(path, "refusing to remove the root folder");
        return false;
    }
    if (p.empty()) {
        if (m_options.force) {
            m_report.missing(path);
            return true;
        }
        fail(path, "No such file or directory");
        return false;
    }
    const size_t slash = p.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
    const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    if (name == "." || name == "..") {
        fail(path, "refusing to remove '.' or '..'");
        return false;
    }

    std::string untrusted;
    int err = 0;
    const int parentFd = openFolderSafely(folder, err, untrusted);
    if (parentFd < 0) {
        if (!untrusted.empty()) {
            fail(path, "refusing to follow the symbolic link '" + untrusted +
                           "': another user could have put it there; not touched");
            return false;
        }
        if (m_options.force && (err == ENOENT || err == ENOTDIR)) {
            m_report.missing(path);
            return true;
        }
        failErrno(path, "cannot open its folder", err);
        return false;
    }

    bool gone = false;
    Entry entry, parent, root;
    if ((err = statEntry(parentFd, name, entry)) != 0) {
        if (m_options.force && (err == ENOENT || err == ENOTDIR)) {
            m_report.missing(path);
            gone = true;
        } else
            failErrno(path, "cannot remove", err);
    } else if (statEntry(AT_FDCWD, "/", root) == 0 && entry.sameObject(root)) {
        fail(path, "refusing to remove the root folder");
    } else if (statEntry(parentFd, "", parent) != 0) {
        failErrno(path, "cannot examine its folder", errno);
    } else if (!entry.sameMount(parent)) {
        // Removing a mount point cannot succeed, and emptying a whole volume through
        // it is far more likely a slip than the intent.
        fail(path, "is a mount point; not touched");
    } else if (const std::string pseudo = pseudoFileSystem(parentFd, parent); !pseudo.empty()) {
        fail(path, "lies on the " + pseudo + " pseudo file system; not touched");
    } else if (S_ISDIR(entry.mode)) {
        if (m_options.recursive)
            gone = removeFolder(parentFd, name, entry, path);
        else
            fail(path, "is a folder (use -r to remove it and its contents)");
    } else {
        gone = removeEntry(parentFd, name, entry, path);
    }
    if (gone)
        ::fsync(parentFd);
    ::close(parentFd);
    return gone;
}

bool Remover::removeEntry(int dirFd, const std::string& name, const Entry& entry, const std::string& shown)
{
    if (S_ISREG(entry.mode)) {
        if (entry.links > 1) {
            // The other names share these very blocks; overwriting would destroy
            // their data, so only this name goes.
            warn(shown, "has " + std::to_string(entry.links) +
                            " hard links; this name is removed without overwriting, the data stays under the others");
        } else {
            return shredFile(dirFd, name, entry, shown);
        }
    }
    // Links, FIFOs, sockets and device nodes hold no file data of their own, and
    // opening them could block, act on hardware, or reach a link's target: the name
    // alone goes.
    if (const int err = unlinkEntry(dirFd, name, 0)) {
        failErrno(shown, "cannot remove", err);
        return false;
    }
    ::fsync(dirFd);
    removed(shown);
    return true;
}

bool Remover::shredFile(int dirFd, const std::string& name, const Entry& entry, const std::string& shown)
{
    // O_NOFOLLOW: if the name was swapped for a link since we looked, the open fails
    // instead of overwriting the link's target. O_NONBLOCK: a swapped-in FIFO does
    // not hang us.
    const int openFlags = O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    int fd = ::openat(dirFd, name.c_str(), openFlags);
    if (fd < 0 && (errno == EACCES || errno == EPERM) && m_options.force) {
        makeRemovable(dirFd, name);
        fd = ::openat(dirFd, name.c_str(), openFlags);
    }
    if (fd < 0) {
        failErrno(shown, "cannot open", errno);
        return false;
    }
    Entry opened;
    if (statEntry(fd, "", opened) != 0 || !S_ISREG(opened.mode) || !opened.sameObject(entry)) {
        ::close(fd);
        fail(shown, "changed while being removed; left alone");
        return false;
    }
    if (opened.links > 1) {
        ::close(fd);
        return removeEntry(dirFd, name, opened, shown);
    }

    std::string error;
    const auto passes = passesFor(m_options.passes, m_options.zeroPass, m_random);
    Target target;
    target.fd = fd;
    target.shown = shown;
    target.size = opened.size;
    target.ranges = dataRanges(fd, opened);
    target.lastRandom = m_random;
    const auto result = m_overwriter.run(target, passes, error);
    if (result != Overwriter::Result::Done) {
        // What is left keeps its own size, not the one rounded up to the block.
        [[maybe_unused]] const int restored = ::ftruncate(fd, opened.size);
        ::close(fd);
        fail(shown, result == Overwriter::Result::Failed ? error : "stopped; left in place, partly overwritten");
        return false;
    }
    // The size goes too, so the entry no longer tells how large the file was.
    if (::ftruncate(fd, 0) != 0 || ::fsync(fd) != 0) {
        failErrno(shown, "cannot truncate", errno);
        ::close(fd);
        return false;
    }
    ::close(fd);
    return hideNameAndUnlink(dirFd, name, shown);
}

bool Remover::hideNameAndUnlink(int dirFd, const std::string& name, const std::string& shown)
{
    // An unlinked entry often keeps its name in the folder's block. Renaming first
    // to a random name of the same length gives the file system the chance to write
    // that name over the old one, and the sync makes the rename a change of its own
    // on disk rather than one the journal folds into the unlink.
    std::string current = name;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string candidate = m_random.name(name.size());
        if (::renameat2(dirFd, name.c_str(), dirFd, candidate.c_str(), RENAME_NOREPLACE) == 0) {
            current = candidate;
            break;
        }
        if (errno == EEXIST)
            continue;
        if (errno == EINVAL || errno == ENOSYS) {
            // No RENAME_NOREPLACE here: look first, so no other file is replaced.
            struct stat probe;
            if (::fstatat(dirFd, candidate.c_str(), &probe, AT_SYMLINK_NOFOLLOW) == 0)
                continue;
            if (errno == ENOENT && ::renameat(dirFd, name.c_str(), dirFd, candidate.c_str()) == 0)
                current = candidate;
        }
        break;  // cannot rename: the old name is unlinked as it is
    }
    if (current != name)
        ::fsync(dirFd);
    if (const int err = unlinkEntry(dirFd, current, 0)) {
        if (current != name)
            fail(shown, "emptied, but left behind as '" + current + "': " + std::strerror(err));
        else
            failErrno(shown, "emptied, but cannot remove", err);
        return false;
    }
    ::fsync(dirFd);
    removed(shown);
    return true;
}

bool Remover::removeFolder(int parentFd, const std::string& name, const Entry& entry, const std::string& shown)
{
    const int fd = openFolder(parentFd, name);
    if (fd < 0) {
        failErrno(shown, "cannot open", errno);
        return false;
    }
    Entry self;
    if (statEntry(fd, "", self) != 0 || !self.sameObject(entry)) {
        ::close(fd);
        fail(shown, "changed while being removed; left alone");
        return false;
    }
    prepareFolder(fd);

    std::vector<Frame> stack;
    size_t firstOpen = 0;  // frames below this index are closed
    stack.push_back(Frame{name, shown, ::fdopendir(fd), self, false, {}});
    if (!stack.back().dir) {
        ::close(fd);
        failErrno(shown, "cannot read", errno);
        return false;
    }
    // Gives up on the folders still open, deepest first: each stays, and says so.
    auto closeAll = [&](const char* why) {
        for (auto f = stack.rbegin(); f != stack.rend(); ++f) {
            if (f->dir)
                ::closedir(f->dir);
            if (!f->reported)
                fail(f->shown, why);
        }
        stack.clear();
    };

    while (!stack.empty()) {
        if (g_stopSignal) {
            closeAll("stopped; left in place");
            return false;
        }
        Frame& top = stack.back();
        const int topFd = ::dirfd(top.dir);
        errno = 0;
        if (const dirent* d = ::readdir(top.dir)) {
            const std::string child = d->d_name;
            if (child == "." || child == ".." || top.leftAlone.count(child))
                continue;
            const std::string childShown = top.shown + (top.shown.back() == '/' ? "" : "/") + child;
            Entry ce;
            if (const int err = statEntry(topFd, child, ce); err != 0) {
                if (err == ENOENT)
                    continue;  // gone meanwhile, which is what we want
                failErrno(childShown, "cannot examine", err);
                top.failed = true;
                top.leftAlone.insert(child);
                continue;
            }
            if (!ce.sameMount(entry)) {
                // Another file system mounted inside the tree is not ours to wipe;
                // it also keeps its folder, so the run cannot succeed.
                fail(childShown, "on another file system (a mount point); left alone");
                top.failed = true;
                top.leftAlone.insert(child);
                continue;
            }
            if (!S_ISDIR(ce.mode)) {
                if (!removeEntry(topFd, child, ce, childShown)) {
                    if (g_stopSignal) {
                        closeAll("stopped; left in place");
                        return false;
                    }
                    top.failed = true;
                    top.leftAlone.insert(child);
                }
                continue;
            }
            const int cfd = openFolder(topFd, child);
            Entry opened;
            if (cfd < 0 || statEntry(cfd, "", opened) != 0 || !opened.sameObject(ce)) {
                if (cfd < 0)
                    failErrno(childShown, "cannot open", errno);
                else
                    fail(childShown, "changed while being removed; left alone");
                if (cfd >= 0)
                    ::close(cfd);
                top.failed = true;
                top.leftAlone.insert(child);
                continue;
            }
            prepareFolder(cfd);
            DIR* cdir = ::fdopendir(cfd);
            if (!cdir) {
                failErrno(childShown, "cannot read", errno);
                ::close(cfd);
                top.failed = true;
                top.leftAlone.insert(child);
                continue;
            }
            stack.push_back(Frame{child, childShown, cdir, opened, false, {}});
            if (stack.size() - firstOpen > kOpenFolders) {
                ::closedir(stack[firstOpen].dir);
                stack[firstOpen].dir = nullptr;
                ++firstOpen;
            }
            continue;
        }
        if (errno != 0) {
            failErrno(top.shown, "cannot read", errno);
            top.failed = top.reported = true;
        }

        // This folder has been read to its end: remove it from its parent.
        Frame done = std::move(stack.back());
        stack.pop_back();
        int doneParentFd = parentFd;
        if (!stack.empty()) {
            Frame& up = stack.back();
            if (!up.dir) {
                Entry check;
                const int ufd = ::openat(::dirfd(done.dir), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (ufd < 0 || statEntry(ufd, "", check) != 0 || !check.sameObject(up.entry) ||
                    !(up.dir = ::fdopendir(ufd))) {
                    // Someone moved the tree while we were in it; going on could
                    // reach places outside it.
                    if (ufd >= 0)
                        ::close(ufd);
                    fail(done.shown, "left in place: the tree moved while being removed");
                    fail(up.shown, "moved while being removed; stopped");
                    up.reported = true;
                    ::closedir(done.dir);
                    closeAll("left in place: the tree moved while being removed");
                    return false;
                }
                firstOpen = stack.size() - 1;
            }
            doneParentFd = ::dirfd(up.dir);
        }
        ::closedir(done.dir);
        if (!done.failed) {
            if (const int err = unlinkEntry(doneParentFd, done.name, AT_REMOVEDIR)) {
                failErrno(done.shown, "cannot remove", err);
                done.failed = done.reported = true;
            }
        } else if (!done.reported) {
            fail(done.shown, "not removed: some of what it holds is left");
        }
        if (!done.failed) {
            // Its name is gone from the parent only once the parent is synced.
            ::fsync(doneParentFd);
            removed(done.shown);
        }
        if (stack.empty())
            return !done.failed;
        if (done.failed) {
            stack.back().failed = true;
            stack.back().leftAlone.insert(done.name);
        }
    }
    return false;
}

int Remover::openFolder(int dirFd, const std::string& name)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
    int fd = ::openat(dirFd, name.c_str(), flags);
    if (fd < 0 && errno == EACCES && m_options.force) {
        makeRemovable(dirFd, name);
        fd = ::openat(dirFd, name.c_str(), flags);
    }
    return fd;
}

int Remover::unlinkEntry(int dirFd, const std::string& name, int flags)
{
    if (::unlinkat(dirFd, name.c_str(), flags) == 0)
        return 0;
    int err = errno;
    if ((err == EPERM || err == EACCES) && m_options.force) {
        makeRemovable(dirFd, name);
        if (::unlinkat(dirFd, name.c_str(), flags) == 0)
            return 0;
        err = errno;
    }
    return err == ENOENT ? 0 : err;
}

void Remover::makeRemovable(int dirFd, const std::string& name)
{
    // Only files and folders are ever opened: opening a device node can act on the
    // hardware.
    struct stat st;
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
        return;
    const mode_t wanted = S_ISDIR(st.st_mode) ? S_IRWXU : S_IRUSR | S_IWUSR;
    const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        // Not even readable: the mode comes first.
        ::fchmodat(dirFd, name.c_str(), (st.st_mode & 07777) | wanted, AT_SYMLINK_NOFOLLOW);
        return;
    }
    struct stat now;
    if (::fstat(fd, &now) == 0 && now.st_ino == st.st_ino && now.st_dev == st.st_dev) {
        clearProtectionFlags(fd);
        if ((now.st_mode & wanted) != wanted)
            ::fchmod(fd, (now.st_mode & 07777) | wanted);
    }
    ::close(fd);
}

void Remover::prepareFolder(int fd)
{
    // With -f a protected folder inside the tree would otherwise keep its entries.
    if (!m_options.force)
        return;
    clearProtectionFlags(fd);
    struct stat st;
    if (::fstat(fd, &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU)
        ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
}

void Remover::fail(const std::string& shown, const std::string& why)
{
    m_report.failed(shown, why);
}

void Remover::failErrno(const std::string& shown, const char* what, int err)
{
    fail(shown, std::string(what) + ": " + std::strerror(err));
}

void Remover::warn(const std::string& shown, const std::string& what)
{
    m_report.warn(shown, what);
}

void Remover::removed(const std::string& shown)
{
    m_report.gone(shown);
}
