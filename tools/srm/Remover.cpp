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
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Folders held open at once while walking a tree. Deeper levels are closed and
// reopened through ".." on the way back up, so any depth fits under the fd limit.
constexpr size_t kOpenFolders = 64;
// Files removed together at most; each is held open through its batch.
constexpr size_t kBatch = 1024;
// Nor more data than this in one batch, so that large files are still reported
// one by one soon after their passes, for whoever shows progress.
constexpr off_t kBatchBytes = off_t{64} << 20;
// Files up to this size get their passes side by side with the others of their
// batch, one sync for all per pass; larger ones are overwritten one by one, with
// write-behind, where the sync is no longer what costs.
constexpr off_t kTogether = off_t{1} << 20;

const char* const kStopped = "stopped; left in place";
const char* const kStoppedWriting = "stopped; left in place, partly overwritten";

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

// In a sticky folder only the file's owner, the folder's owner and CAP_FOWNER may
// remove a name, whatever the folder's write bits say.
bool stickyForbids(const Entry& folder, const Entry& item)
{
    if (!(folder.mode & S_ISVTX))
        return false;
    const uid_t me = ::geteuid();
    return me != 0 && item.owner != me && folder.owner != me;
}

// A directory sync that the file system does not offer is not a failure. A folder
// we may search but not read is held by an O_PATH descriptor, which cannot be
// synced on its own: then everything is.
bool syncFolder(int fd)
{
    if (::fsync(fd) == 0 || errno == EINVAL)
        return true;
    if (errno != EBADF)
        return false;
    ::sync();
    return true;
}

struct Frame
{
    std::string name;   // in its parent folder
    std::string shown;  // as the user would write it
    DIR* dir = nullptr; // null while closed to stay under the fd limit
    bool reported = false;  // its failure has been told
};

}  // namespace

Remover::Remover(const Options& options, Random& random, Report& report)
    : m_options(options), m_random(random), m_report(report), m_overwriter(random, report)
{
    rlimit lim{};
    size_t files = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY)
        files = static_cast<size_t>(lim.rlim_cur);
    // Room for the open folders of a deep walk, the standard streams and a few spare.
    m_batchLimit = files > kOpenFolders + 24 ? std::min(kBatch, files - kOpenFolders - 24) : 1;
}

bool Remover::removeArguments(const std::vector<std::string>& paths, const std::vector<Identity>& expected)
{
    bool allGone = true;
    // Consecutive paths in one folder are removed together.
    int batchFd = -1;
    Folder batch;
    std::unordered_set<ino_t> inBatch;
    const auto flushBatch = [&] {
        if (batchFd < 0)
            return;
        if (!flush(batchFd, batch))
            allGone = false;
        ::close(batchFd);
        batchFd = -1;
        batch = Folder{};
        inBatch.clear();
    };

    for (size_t index = 0; index < paths.size(); ++index) {
        const std::string& path = paths[index];
        if (g_stopSignal)
            break;
        std::string p = path;
        while (p.size() > 1 && p.back() == '/')
            p.pop_back();
        if (p == "/") {
            fail(path, "refusing to remove the root folder");
            allGone = false;
            continue;
        }
        if (p.empty()) {
            if (m_options.force) {
                m_report.missing(path);
            } else {
                fail(path, "No such file or directory");
                allGone = false;
            }
            continue;
        }
        const size_t slash = p.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
        const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
        if (name == "." || name == "..") {
            fail(path, "refusing to remove '.' or '..'");
            allGone = false;
            continue;
        }

        std::string untrusted;
        int err = 0;
        const int parentFd = openFolderSafely(folder, err, untrusted);
        if (parentFd < 0) {
            if (!untrusted.empty()) {
                fail(path, "refusing to follow the symbolic link '" + untrusted +
                               "': another user could have put it there; not touched");
                allGone = false;
            } else if (m_options.force && (err == ENOENT || err == ENOTDIR)) {
                m_report.missing(path);
            } else {
                failErrno(path, "cannot open its folder", err);
                allGone = false;
            }
            continue;
        }

        Entry entry, parent, root;
        bool ok = false;
        const Identity* listed = index < expected.size() && expected[index].known ? &expected[index] : nullptr;
        if ((err = statEntry(parentFd, name, entry)) != 0) {
            if (m_options.force && (err == ENOENT || err == ENOTDIR)) {
                m_report.missing(path);
                ::close(parentFd);
                continue;
            }
            failErrno(path, "cannot remove", err);
        } else if (listed && (entry.device != listed->device || entry.inode != listed->inode)) {
            // Its caller chose another file: a folder on the way or the item
            // itself was replaced since. Every later step holds to this entry.
            fail(path, "names another file than the one chosen (device " + std::to_string(entry.device) +
                           ", inode " + std::to_string(entry.inode) + " instead of " +
                           std::to_string(listed->device) + ", " + std::to_string(listed->inode) +
                           "); not touched");
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
        } else if (S_ISDIR(entry.mode) && !m_options.recursive) {
            fail(path, "is a folder (use -r to remove it and its contents)");
        } else {
            ok = true;
        }
        if (!ok) {
            allGone = false;
            ::close(parentFd);
            continue;
        }

        if (S_ISDIR(entry.mode)) {
            flushBatch();
            if (!removeFolder(parentFd, name, entry, path))
                allGone = false;
            ::close(parentFd);
            continue;
        }
        // The same file named twice waits for the next batch, so it is not opened
        // twice at once (and taken for a file someone else is writing).
        if (batchFd >= 0 && (!parent.sameObject(batch.entry) || inBatch.count(entry.inode)))
            flushBatch();
        if (batchFd < 0) {
            batchFd = parentFd;
            batch.entry = parent;
        } else {
            ::close(parentFd);
        }
        inBatch.insert(entry.inode);
        batch.pending.push_back(Item{name, path, entry, {}, false, false});
        batch.pendingBytes += entry.size;
        if (batch.pending.size() >= m_batchLimit || batch.pendingBytes >= kBatchBytes)
            flushBatch();
    }
    flushBatch();
    return allGone && !g_stopSignal;
}

const std::string& Remover::whyNamesStay(int dirFd, Folder& folder)
{
    if (folder.checked)
        return folder.whyNamesStay;
    folder.checked = true;
    std::string& why = folder.whyNamesStay;
    // Overwriting a file whose name then stays would lose its data without removing
    // it: whether the name can go is settled before anything is written.
    if (::faccessat(dirFd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        if (errno == EROFS)
            why = "lies on a read-only file system; not touched";
        else if (errno == EACCES || errno == EPERM)
            why = "its folder does not let you remove names from it; not touched";
    }
    if (why.empty()) {
        const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            if (flags & FS_IMMUTABLE_FL)
                why = "its folder is immutable, so its name cannot be removed; not touched";
            else if (flags & FS_APPEND_FL)
                why = "its folder is append-only, so its name cannot be removed; not touched";
        }
        if (fd >= 0)
            ::close(fd);
    }
    return why;
}

void Remover::failItem(Item& item, const std::string& why)
{
    if (item.target.fd >= 0) {
        // What is left keeps its own size, never more: a block rounded up or
        // space past the end is given back.
        [[maybe_unused]] const int restored = ::ftruncate(item.target.fd, item.target.size);
        ::close(item.target.fd);
        item.target.fd = -1;
    }
    item.failed = true;
    fail(item.shown, why);
}

bool Remover::openForShred(int dirFd, Item& item)
{
    const auto hardLinks = [&](nlink_t links) {
        failItem(item, "has " + std::to_string(links) +
                           " hard links: the other names share its data, so it is not erased; not touched");
    };
    if (item.entry.links > 1) {
        hardLinks(item.entry.links);
        return false;
    }
    if (fileOpenForWriting(dirFd, item.name, item.entry) == 1) {
        failItem(item, "is open for writing by another program, which could write its data back; not touched");
        return false;
    }
    // O_NOFOLLOW: if the name was swapped for a link since we looked, the open fails
    // instead of overwriting the link's target. O_NONBLOCK: a swapped-in FIFO does
    // not hang us.
    const int openFlags = O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    int fd = ::openat(dirFd, item.name.c_str(), openFlags);
    if (fd < 0 && (errno == EACCES || errno == EPERM) && m_options.force) {
        makeRemovable(dirFd, item.name);
        fd = ::openat(dirFd, item.name.c_str(), openFlags);
    }
    if (fd < 0) {
        failErrno(item.shown, "cannot open", errno);
        item.failed = true;
        return false;
    }
    Entry opened;
    if (statEntry(fd, "", opened) != 0 || !S_ISREG(opened.mode) || !opened.sameObject(item.entry)) {
        ::close(fd);
        failItem(item, "changed while being removed; left alone");
        return false;
    }
    if (opened.links > 1) {
        ::close(fd);
        hardLinks(opened.links);
        return false;
    }
    item.target.fd = fd;
    item.target.shown = item.shown;
    item.target.size = opened.size;
    item.target.ranges = dataRanges(fd, opened);
    item.target.lastRandom = m_random;
    return true;
}

void Remover::overwrite(std::vector<Item*>& items)
{
    // Each batch draws its own order of the fixed patterns.
    const auto passes = passesFor(m_options.passes, m_options.zeroPass, m_random);
    std::vector<Item*> together;
    for (Item* item : items) {
        if (item->failed || item->target.fd < 0)
            continue;
        if (item->target.length() <= kTogether) {
            together.push_back(item);
            continue;
        }
        if (g_stopSignal) {
            failItem(*item, kStopped);
            continue;
        }
        std::string error;
        const auto r = m_overwriter.run(item->target, passes, error);
        if (r != Overwriter::Result::Done)
            failItem(*item, r == Overwriter::Result::Failed ? error : kStoppedWriting);
    }
    if (!together.empty())
        overwriteTogether(together, passes);
}

void Remover::overwriteTogether(std::vector<Item*>& group, const std::vector<Pass>& passes)
{
    for (size_t i = 0; i < passes.size(); ++i) {
        Item* anyLeft = nullptr;
        for (Item* item : group) {
            if (item->failed)
                continue;
            if (g_stopSignal) {
                failItem(*item, i == 0 ? kStopped : kStoppedWriting);
                continue;
            }
            m_overwriter.announce(item->target, i, passes.size(), passes[i]);
            std::string error;
            const auto r = m_overwriter.writePass(item->target, passes[i], false, error);
            if (r != Overwriter::Result::Done)
                failItem(*item, r == Overwriter::Result::Failed ? error : kStoppedWriting);
            else if (item->target.length() > 0)
                anyLeft = item;
        }
        if (!anyLeft)
            continue;  // nothing written that a sync would have to carry
        // Every file's pass must be on the device before any next pass is written.
        // One syncfs writes them all out; the fdatasync after it adds the flush of
        // the device's cache that syncfs leaves out on some file systems, and
        // being last, it flushes for all of them.
        const bool all = ::syncfs(anyLeft->target.fd) == 0 && ::fdatasync(anyLeft->target.fd) == 0;
        if (!all) {
            // Find out whose data did not make it.
            for (Item* item : group)
                if (!item->failed && ::fdatasync(item->target.fd) != 0)
                    failItem(*item, std::string("cannot sync: ") + std::strerror(errno));
        }
    }
}

bool Remover::flush(int dirFd, Folder& folder)
{
    std::vector<Item> items = std::move(folder.pending);
    folder.pending.clear();
    folder.pendingBytes = 0;
    bool allGone = true;

    std::vector<Item*> live;
    for (Item& item : items) {
        if (g_stopSignal) {
            allGone = false;  // never touched, so nothing to tell
            continue;
        }
        if (const std::string& why = whyNamesStay(dirFd, folder); !why.empty()) {
            failItem(item, why);
            continue;
        }
        if (stickyForbids(folder.entry, item.entry)) {
            failItem(item, "its folder is sticky and neither the folder nor the file is yours, so its name "
                           "cannot be removed; not touched");
            continue;
        }
        if (S_ISREG(item.entry.mode) && !openForShred(dirFd, item))
            continue;
        // Links, FIFOs, sockets and device nodes hold no file data of their own,
        // and opening them could block, act on hardware, or reach a link's
        // target: the name alone goes.
        live.push_back(&item);
    }
    overwrite(live);

    // The size goes too, so the entry no longer tells how large the file was.
    // The descriptor stays open until the name is gone: while it is, the inode
    // cannot be freed and its number handed to a file put in its place.
    for (Item* item : live) {
        if (item->failed || item->target.fd < 0)
            continue;
        if (::ftruncate(item->target.fd, 0) != 0) {
            failItem(*item, std::string("cannot truncate: ") + std::strerror(errno));
            continue;
        }
        item->target.size = 0;
    }

    // An unlinked entry often keeps its name in the folder's block. Renaming first
    // to a random name of the same length gives the file system the chance to write
    // that name over the old one, and the sync makes the renames a change of their
    // own on disk rather than one the journal folds into the unlinks.
    bool renamed = false;
    for (Item* item : live) {
        if (item->failed || !S_ISREG(item->entry.mode))
            continue;
        // Whoever may write the folder can have put something else at the name
        // since it was opened; that entry is not ours to move or remove.
        if (!stillAtName(dirFd, *item))
            continue;
        const std::string before = item->name;
        for (int attempt = 0; attempt < 16; ++attempt) {
            const std::string candidate = m_random.name(item->name.size());
            if (::renameat2(dirFd, item->name.c_str(), dirFd, candidate.c_str(), RENAME_NOREPLACE) == 0) {
                item->name = candidate;
                item->hidden = renamed = true;
                break;
            }
            if (errno == EEXIST)
                continue;
            if (errno == EINVAL || errno == ENOSYS) {
                // No RENAME_NOREPLACE here: look first, so no other file is replaced.
                struct stat probe;
                if (::fstatat(dirFd, candidate.c_str(), &probe, AT_SYMLINK_NOFOLLOW) == 0)
                    continue;
                if (errno == ENOENT && ::renameat(dirFd, item->name.c_str(), dirFd, candidate.c_str()) == 0) {
                    item->name = candidate;
                    item->hidden = renamed = true;
                }
            }
            break;  // cannot rename: the old name is unlinked as it is
        }
        // The look and the rename are two steps: an entry swapped in between
        // them was moved instead of ours. It goes back where it was, if that
        // name is still free, and ours, wherever it went, stays.
        if (item->hidden && !sameEntryAt(dirFd, item->name, item->entry)) {
            std::string why = "emptied, but its name was given to another entry while being removed; ";
            if (::renameat2(dirFd, item->name.c_str(), dirFd, before.c_str(), RENAME_NOREPLACE) == 0) {
                item->name = before;
                item->hidden = false;
                why += "that entry was left alone";
            } else {
                why += "that entry was left alone under '" + item->name + "'";
            }
            failItem(*item, why + "; not removed");
        }
    }
    if (renamed)
        syncFolder(dirFd);

    std::vector<Item*> unlinked;
    for (Item* item : live) {
        if (item->failed)
            continue;
        if (!stillAtName(dirFd, *item))
            continue;
        if (const int err = unlinkEntry(dirFd, item->name, 0)) {
            if (item->hidden)
                failItem(*item, "emptied, but left behind as '" + item->name + "': " + std::strerror(err));
            else if (S_ISREG(item->entry.mode))
                failItem(*item, std::string("emptied, but cannot remove: ") + std::strerror(err));
            else
                failItem(*item, std::string("cannot remove: ") + std::strerror(err));
            continue;
        }
        if (item->target.fd >= 0) {
            ::close(item->target.fd);
            item->target.fd = -1;
        }
        unlinked.push_back(item);
    }
    for (const Item& item : items) {
        if (item.failed) {
            allGone = false;
            folder.leftAlone.insert(item.name);
        }
    }

    // Gone means gone from the folder on the device too.
    if (!unlinked.empty() || !folder.goneFolders.empty()) {
        if (!syncFolder(dirFd)) {
            const std::string why = std::string("removed, but its folder could not be written to the disk: ") +
                                    std::strerror(errno);
            for (Item* item : unlinked)
                fail(item->shown, why);
            for (const std::string& shown : folder.goneFolders)
                fail(shown, why);
            folder.goneFolders.clear();
            return false;
        }
        for (Item* item : unlinked)
            m_report.gone(item->shown);
        for (const std::string& shown : folder.goneFolders)
            m_report.gone(shown);
        folder.goneFolders.clear();
    }
    return allGone;
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

    // Frames and their folders side by side: a folder's pending items move with it.
    std::vector<Frame> stack;
    std::vector<Folder> folders;
    size_t firstOpen = 0;  // frames below this index are closed
    stack.push_back(Frame{name, shown, ::fdopendir(fd), false});
    folders.emplace_back();
    folders.back().entry = self;
    if (!stack.back().dir) {
        ::close(fd);
        failErrno(shown, "cannot read", errno);
        return false;
    }
    // Gives up on the folders still open, deepest first: each stays, and says so.
    // Their files not yet reached were never touched and get no word.
    const auto giveUp = [&](const char* why) {
        for (size_t i = stack.size(); i-- > 0;) {
            if (stack[i].dir)
                ::closedir(stack[i].dir);
            if (!stack[i].reported)
                fail(stack[i].shown, why);
        }
        stack.clear();
        folders.clear();
    };

    while (!stack.empty()) {
        if (g_stopSignal) {
            giveUp(kStopped);
            return false;
        }
        Frame& top = stack.back();
        Folder& here = folders.back();
        const int topFd = ::dirfd(top.dir);
        errno = 0;
        if (const dirent* d = ::readdir(top.dir)) {
            const std::string child = d->d_name;
            if (child == "." || child == ".." || here.leftAlone.count(child))
                continue;
            const std::string childShown = top.shown + (top.shown.back() == '/' ? "" : "/") + child;
            Entry ce;
            if (const int err = statEntry(topFd, child, ce); err != 0) {
                if (err == ENOENT)
                    continue;  // gone meanwhile, which is what we want
                failErrno(childShown, "cannot examine", err);
                here.failed = true;
                here.leftAlone.insert(child);
                continue;
            }
            if (!ce.sameMount(entry)) {
                // Another file system mounted inside the tree is not ours to wipe;
                // it also keeps its folder, so the run cannot succeed.
                fail(childShown, "on another file system (a mount point); left alone");
                here.failed = true;
                here.leftAlone.insert(child);
                continue;
            }
            if (!S_ISDIR(ce.mode)) {
                here.pending.push_back(Item{child, childShown, ce, {}, false, false});
                here.pendingBytes += ce.size;
                if ((here.pending.size() >= m_batchLimit || here.pendingBytes >= kBatchBytes) && !flush(topFd, here))
                    here.failed = true;
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
                here.failed = true;
                here.leftAlone.insert(child);
                continue;
            }
            prepareFolder(cfd);
            DIR* cdir = ::fdopendir(cfd);
            if (!cdir) {
                failErrno(childShown, "cannot read", errno);
                ::close(cfd);
                here.failed = true;
                here.leftAlone.insert(child);
                continue;
            }
            stack.push_back(Frame{child, childShown, cdir, false});
            folders.emplace_back();
            folders.back().entry = opened;
            if (stack.size() - firstOpen > kOpenFolders) {
                // What waits on the folder about to be closed goes first.
                if (!flush(::dirfd(stack[firstOpen].dir), folders[firstOpen]))
                    folders[firstOpen].failed = true;
                ::closedir(stack[firstOpen].dir);
                stack[firstOpen].dir = nullptr;
                ++firstOpen;
            }
            continue;
        }
        if (errno != 0) {
            failErrno(top.shown, "cannot read", errno);
            here.failed = true;
            top.reported = true;
        }

        // This folder has been read to its end: its last files go, then itself.
        if (!flush(topFd, here))
            here.failed = true;
        if (g_stopSignal) {
            giveUp(kStopped);
            return false;
        }
        Frame done = std::move(stack.back());
        const bool doneFailed = here.failed;
        const Entry doneEntry = here.entry;
        stack.pop_back();
        folders.pop_back();
        int doneParentFd = parentFd;
        if (!stack.empty()) {
            Frame& up = stack.back();
            if (!up.dir) {
                Entry check;
                const int ufd = ::openat(::dirfd(done.dir), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (ufd < 0 || statEntry(ufd, "", check) != 0 || !check.sameObject(folders.back().entry) ||
                    !(up.dir = ::fdopendir(ufd))) {
                    // Someone moved the tree while we were in it; going on could
                    // reach places outside it.
                    if (ufd >= 0)
                        ::close(ufd);
                    ::closedir(done.dir);
                    fail(done.shown, "left in place: the tree moved while being removed");
                    fail(up.shown, "moved while being removed; stopped");
                    up.reported = true;
                    giveUp("left in place: the tree moved while being removed");
                    return false;
                }
                firstOpen = stack.size() - 1;
            }
            doneParentFd = ::dirfd(up.dir);
        }
        ::closedir(done.dir);
        bool gone = false;
        if (!doneFailed) {
            // As for a file: only the folder that was emptied, not one put at its name.
            if (!sameEntryAt(doneParentFd, done.name, doneEntry))
                fail(done.shown, "its name no longer leads to the folder that was emptied; not removed");
            else if (const int err = unlinkEntry(doneParentFd, done.name, AT_REMOVEDIR))
                failErrno(done.shown, "cannot remove", err);
            else
                gone = true;
        } else if (!done.reported) {
            fail(done.shown, "not removed: some of what it holds is left");
        }
        if (stack.empty()) {
            if (gone && !syncFolder(parentFd)) {
                failErrno(done.shown, "removed, but its folder could not be written to the disk", errno);
                return false;
            }
            if (gone)
                m_report.gone(done.shown);
            return gone;
        }
        // Told once the parent is synced, with its next batch or at its end.
        if (gone) {
            folders.back().goneFolders.push_back(done.shown);
        } else {
            folders.back().failed = true;
            folders.back().leftAlone.insert(done.name);
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
    // A name gone before we removed it was not removed by us: what it led to
    // may live on under another name.
    return err;
}

bool Remover::sameEntryAt(int dirFd, const std::string& name, const Entry& expected)
{
    Entry now;
    return statEntry(dirFd, name, now) == 0 && now.sameObject(expected);
}

bool Remover::stillAtName(int dirFd, Item& item)
{
    Entry now;
    const int err = statEntry(dirFd, item.name, now);
    if (err == 0 && now.sameObject(item.entry))
        return true;
    std::string why = S_ISREG(item.entry.mode) ? "emptied, but " : "";
    if (item.hidden)
        why += "no longer found under its hiding name '" + item.name + "'";
    else if (err == ENOENT)
        why += "its name was removed or moved by someone else meanwhile";
    else if (err != 0)
        why += std::string("cannot examine it again: ") + std::strerror(err);
    else
        why += "its name now leads to another entry, which was left alone";
    failItem(item, why + "; not removed");
    return false;
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
