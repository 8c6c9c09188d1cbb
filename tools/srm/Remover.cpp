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
#include <sys/vfs.h>
#include <system_error>
#include <unistd.h>

namespace {

// Folders held open at once while walking a tree, at most. Deeper levels are
// closed and reopened through ".." on the way back up, so any depth fits under
// the fd limit.
constexpr size_t kOpenFolders = 64;
// Entries removed together; each file is held open through its batch, and so
// is each folder it empties. The files of a batch share one sync per pass and
// two for their names, whatever folders they lie in. The first batch holds
// about a thousand, so the first files are told soon; each next one doubles,
// up to four thousand: on a busy machine every sync waits for the kernel's
// own threads, and a quarter of them made a large tree 1.35-1.5 times faster.
constexpr size_t kFirstBatch = 1024;
constexpr size_t kBatch = 4096;
// Nor more data than this in one batch (doubling likewise): small files share
// their syncs, and a large one soon fills a batch of its own, so it is
// reported soon after its passes, for whoever shows progress.
constexpr off_t kFirstBatchBytes = off_t{8} << 20;
constexpr off_t kBatchBytes = off_t{16} << 20;
// Threads that open a batch's files and remove its names, and the least work
// worth a thread.
constexpr size_t kNameWorkers = 4;
constexpr size_t kPerWorker = 64;
// Files up to this size get their passes side by side with the others of their
// batch, one sync for all per pass; larger ones are overwritten one by one, with
// write-behind, where the sync is no longer what costs.
constexpr off_t kTogether = off_t{1} << 20;
// Descriptors asked for when the soft limit is lower and the hard one allows:
// enough for a full batch beside a deep walk.
constexpr rlim_t kWantedFiles = 8192;
// Kept for the standard streams, the random source and a few spare.
constexpr size_t kSpareFiles = 24;
// FUSE: a folder's changes reach the driver's device only through that
// folder's own fsync.
constexpr long kFuseMagic = 0x65735546;

const char* const kStopped = "stopped; left in place";
const char* const kStoppedWriting = "stopped; left in place, partly overwritten";
const char* const kStoppedOverwritten = "stopped; left in place, overwritten (every pass is on the disk)";

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

bool onFuse(int fd)
{
    struct statfs fs;
    return ::fstatfs(fd, &fs) == 0 && fs.f_type == kFuseMagic;
}

// Puts the name changes made in these folders (all on one volume) on the
// device. 0 or an errno value.
int syncNames(const std::vector<int>& folders, bool everyFolder)
{
    if (folders.empty()) {
        ::sync();
        return 0;
    }
    if (everyFolder) {
        for (const int fd : folders)
            if (!syncFolder(fd))
                return errno;
        return 0;
    }
    // syncfs commits every folder's changes at once (on a journalling file
    // system one commit holds them all); the fsync of one folder after it adds
    // the flush of the device's cache that syncfs leaves out on some file
    // systems. A folder held by O_PATH cannot be synced: syncFolder then syncs all.
    if (::syncfs(folders.front()) != 0 && errno != EBADF)
        return errno;
    return syncFolder(folders.front()) ? 0 : errno;
}

int duplicate(int fd) { return fd < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

// The kernel grows a descriptor table by copying it, and while threads share
// the table each growth waits out an RCU grace period: tens of milliseconds
// for a batch's worth of files, longer than the batch's own work. Grown
// once, while this is the only thread, it never has to grow again (tables
// do not shrink).
void reserveDescriptors(size_t count)
{
    const int any = ::open("/", O_PATH | O_CLOEXEC);
    if (any < 0)
        return;
    if (const int high = count > 1 ? ::fcntl(any, F_DUPFD_CLOEXEC, int(count - 1)) : -1; high >= 0)
        ::close(high);
    ::close(any);
}

}  // namespace

Remover::Folder::~Folder()
{
    if (fd >= 0)
        ::close(fd);
}

Remover::Remover(const Options& options, Random& random, Report& report)
    : m_options(options), m_random(random), m_report(report), m_overwriter(random, report)
{
    rlimit lim{};
    size_t files = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0) {
        if (lim.rlim_cur != RLIM_INFINITY && lim.rlim_cur < kWantedFiles && lim.rlim_max > lim.rlim_cur) {
            rlimit more = lim;
            more.rlim_cur = std::min(lim.rlim_max, kWantedFiles);
            if (::setrlimit(RLIMIT_NOFILE, &more) == 0)
                lim = more;
        }
        files = lim.rlim_cur == RLIM_INFINITY ? size_t(kWantedFiles) : size_t(lim.rlim_cur);
    }
    // The walk holds two descriptors per open folder (its listing and the one
    // the batch removes names through); the batch holds the rest.
    const size_t room = files > kSpareFiles + 4 ? files - kSpareFiles : 4;
    m_openFolders = std::clamp<size_t>(room / 4, 1, kOpenFolders);
    m_batchLimit = std::clamp<size_t>(room - 2 * m_openFolders, 1, kBatch);
    m_batchGoal = std::min(m_batchLimit, kFirstBatch);
    m_batchBytesGoal = kFirstBatchBytes;
    m_batch.reserve(m_batchGoal);
    reserveDescriptors(std::min(files, m_batchLimit + 2 * m_openFolders + kSpareFiles));
}

Remover::~Remover()
{
    settle();
}

bool Remover::removeArguments(const std::vector<std::string>& paths, const std::vector<Identity>& expected)
{
    // Consecutive paths in one folder share it, and its checks.
    FolderPtr lastFolder;
    // A missing path is told after what came before it, as a caller reading
    // the records in turn would expect; it is rare enough to wait for that.
    const auto missing = [&](const std::string& path) {
        drain();
        settle();
        m_report.missing(path);
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
            continue;
        }
        if (p.empty()) {
            if (m_options.force)
                missing(path);
            else
                fail(path, "No such file or directory");
            continue;
        }
        const size_t slash = p.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
        const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
        if (name == "." || name == "..") {
            fail(path, "refusing to remove '.' or '..'");
            continue;
        }

        std::string untrusted;
        int err = 0;
        const int parentFd = openFolderSafely(folder, err, untrusted);
        if (parentFd < 0) {
            if (!untrusted.empty()) {
                fail(path, "refusing to follow the symbolic link '" + untrusted +
                               "': another user could have put it there; not touched");
            } else if (m_options.force && (err == ENOENT || err == ENOTDIR)) {
                missing(path);
            } else {
                failErrno(path, "cannot open its folder", err);
            }
            continue;
        }

        Entry entry, parent, root;
        bool ok = false;
        const Identity* listed = index < expected.size() && expected[index].known ? &expected[index] : nullptr;
        err = statEntry(parentFd, name, entry);
        if (err == 0 && inBatch(entry)) {
            // Named twice, or inside a folder named before: the batch settles
            // it first, so that it is not opened twice at once (and taken for a
            // file someone else is writing).
            drain();
            settle();
            err = statEntry(parentFd, name, entry);
        }
        if (err != 0) {
            if (m_options.force && (err == ENOENT || err == ENOTDIR)) {
                missing(path);
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
            ::close(parentFd);
            continue;
        }

        FolderPtr place;
        if (lastFolder && lastFolder->entry.sameObject(parent)) {
            place = lastFolder;
            ::close(parentFd);
        } else {
            place = std::make_shared<Folder>();
            place->fd = parentFd;
            place->entry = parent;
            lastFolder = place;
        }
        if (S_ISDIR(entry.mode))
            removeFolder(place, name, entry, path);
        else
            enqueue(Item{name, path, entry, place, nullptr, {}});
    }
    drain();
    settle();
    return m_allGone && !g_stopSignal;
}

const std::string& Remover::whyNamesStay(Folder& folder)
{
    if (folder.checked)
        return folder.whyNamesStay;
    folder.checked = true;
    std::string& why = folder.whyNamesStay;
    // Overwriting a file whose name then stays would lose its data without removing
    // it: whether the name can go is settled before anything is written.
    if (::faccessat(folder.fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        if (errno == EROFS)
            why = "lies on a read-only file system; not touched";
        else if (errno == EACCES || errno == EPERM)
            why = "its folder does not let you remove names from it; not touched";
    }
    if (why.empty()) {
        const int fd = ::openat(folder.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

std::string Remover::openForShred(int dirFd, Item& item)
{
    const auto hardLinks = [](nlink_t links) {
        return "has " + std::to_string(links) +
               " hard links: the other names share its data, so it is not erased; not touched";
    };
    if (item.entry.links > 1)
        return hardLinks(item.entry.links);
    if (fileOpenForWriting(dirFd, item.name, item.entry) == 1)
        return "is open for writing by another program, which could write its data back; not touched";
    // O_NOFOLLOW: if the name was swapped for a link since we looked, the open fails
    // instead of overwriting the link's target. O_NONBLOCK: a swapped-in FIFO does
    // not hang us.
    const int openFlags = O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    int fd = ::openat(dirFd, item.name.c_str(), openFlags);
    if (fd < 0 && (errno == EACCES || errno == EPERM) && m_options.force) {
        makeRemovable(dirFd, item.name);
        fd = ::openat(dirFd, item.name.c_str(), openFlags);
    }
    if (fd < 0)
        return std::string("cannot open: ") + std::strerror(errno);
    Entry opened;
    if (statEntry(fd, "", opened) != 0 || !S_ISREG(opened.mode) || !opened.sameObject(item.entry)) {
        ::close(fd);
        return "changed while being removed; left alone";
    }
    if (opened.links > 1) {
        ::close(fd);
        return hardLinks(opened.links);
    }
    item.target.fd = fd;
    item.target.shown = item.shown;
    item.target.size = opened.size;
    item.target.ranges = dataRanges(fd, opened);
    return {};
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
        // A large file's syncs are its own; the batch before has had its turn.
        settle();
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
        // The first pass was written while the batch before was being synced;
        // that sync ends before this one starts, so they do not run side by side.
        settle();
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

void Remover::sideBySide(size_t count, const std::function<void(size_t, Random&)>& job)
{
    // A few threads, each on its own stretch; only enough work is worth one.
    const size_t workers = std::min<size_t>(kNameWorkers, (count + kPerWorker - 1) / kPerWorker);
    const size_t share = workers > 1 ? (count + workers - 1) / workers : count;
    const auto work = [&](size_t from, size_t to) {
        Random random = Random::fromSystem();
        for (size_t i = from; i < to; ++i)
            job(i, random);
    };
    std::vector<std::thread> threads;
    for (size_t w = 1; w < workers; ++w) {
        const size_t from = std::min(count, w * share), to = std::min(count, (w + 1) * share);
        try {
            threads.emplace_back(work, from, to);
        } catch (const std::system_error&) {
            work(from, to);  // no thread to be had: this one does it
        }
    }
    work(0, std::min(count, share));
    for (std::thread& t : threads)
        t.join();
}

bool Remover::inBatch(const Entry& entry) const
{
    return m_inBatch.count({entry.device, entry.inode}) != 0;
}

void Remover::enqueue(Item item)
{
    // One volume to a batch, so that its syncs are those of one file system.
    if (!m_batch.empty() && m_batch.front().in->entry.device != item.in->entry.device)
        drain();
    // Each file is opened during the batch, a folder it empties is held open
    // until its own turn, and so is each other folder named in it.
    m_batchFds += 1 + ((m_batch.empty() || m_batch.back().in != item.in) ? 1 : 0);
    if (S_ISREG(item.entry.mode))
        m_batchBytes += item.entry.size;
    m_inBatch.emplace(item.entry.device, item.entry.inode);
    m_batch.push_back(std::move(item));
    if (m_batchFds >= m_batchGoal || m_batchBytes >= m_batchBytesGoal)
        drain();
}

void Remover::drain()
{
    if (m_batch.empty())
        return;
    std::vector<Item> items = std::move(m_batch);
    m_batchGoal = std::min(m_batchGoal * 2, m_batchLimit);
    m_batchBytesGoal = std::min(m_batchBytesGoal * 2, kBatchBytes);
    m_batch = {};
    m_batch.reserve(m_batchGoal);
    m_batchFds = 0;
    m_batchBytes = 0;
    m_inBatch.clear();

    std::vector<Item*> live;
    for (Item& item : items) {
        if (item.emptied)
            continue;  // once everything it held has gone, below
        if (g_stopSignal) {
            item.failed = true;  // never touched, so nothing to tell
            continue;
        }
        Folder& in = *item.in;
        if (const std::string& why = whyNamesStay(in); !why.empty()) {
            failItem(item, why);
            continue;
        }
        if (stickyForbids(in.entry, item.entry)) {
            failItem(item, "its folder is sticky and neither the folder nor the file is yours, so its name "
                           "cannot be removed; not touched");
            continue;
        }
        // Links, FIFOs, sockets and device nodes hold no file data of their own,
        // and opening them could block, act on hardware, or reach a link's
        // target: the name alone goes.
        live.push_back(&item);
    }
    // The files are examined and opened side by side, as their names are
    // removed below: each depends only on its own name.
    {
        std::vector<std::string> why(live.size());
        sideBySide(live.size(), [&](size_t i, Random&) {
            if (S_ISREG(live[i]->entry.mode))
                why[i] = openForShred(live[i]->in->fd, *live[i]);
        });
        for (size_t i = 0; i < live.size(); ++i) {
            if (!why[i].empty())
                failItem(*live[i], why[i]);
            else if (live[i]->target.fd >= 0)
                live[i]->target.lastRandom = m_random;
        }
    }
    overwrite(live);
    settle();

    // Stopped once the passes are on the device: nothing is half done, so the
    // items stay as they are and say how far they got.
    const bool stopped = g_stopSignal != 0;
    if (stopped) {
        for (Item* item : live)
            if (!item->failed)
                failItem(*item, item->target.fd >= 0 ? kStoppedOverwritten : kStopped);
    }

    // The names go on a few threads: each item's steps depend only on its own
    // descriptor and name, and the file system works on several at once. A
    // folder is removed after everything it held, in batch order, below.
    std::vector<Item*> named;
    for (Item* item : live)
        if (!item->failed)
            named.push_back(item);
    std::vector<std::string> why(named.size());
    // A FUSE driver closes a file asynchronously; see removeName.
    const bool fuse = onFuse(items.front().in->fd);
    sideBySide(named.size(), [&](size_t i, Random& random) { why[i] = removeName(*named[i], random, fuse); });
    for (size_t i = 0; i < named.size(); ++i) {
        if (why[i].empty())
            named[i]->removed = true;
        else
            failItem(*named[i], why[i]);
    }

    std::vector<int> changedIn;
    std::vector<std::string> gone;
    for (Item& item : items) {
        if (item.emptied)
            removeEmptied(item, stopped);
        if (item.target.fd >= 0) {
            ::close(item.target.fd);
            item.target.fd = -1;
        }
        if (item.failed) {
            item.in->failed = true;
            item.in->leftAlone.insert(item.name);
        } else if (item.removed) {
            gone.push_back(item.shown);
            if (changedIn.empty() || changedIn.back() != item.in->fd)
                changedIn.push_back(item.in->fd);
        }
    }
    if (gone.empty())
        return;

    // Gone means gone from the folder on the device too. That last sync runs
    // while the next batch is read and written: nothing of the next batch
    // depends on it, and nothing here is told before it has ended.
    std::sort(changedIn.begin(), changedIn.end());
    changedIn.erase(std::unique(changedIn.begin(), changedIn.end()), changedIn.end());
    // A folder removed here has nothing left to sync (a FUSE driver no longer
    // knows it); its parent's sync carries its removal.
    for (const Item& item : items) {
        if (item.emptied && item.removed)
            changedIn.erase(std::remove(changedIn.begin(), changedIn.end(), item.emptied->fd), changedIn.end());
    }
    auto settling = std::make_unique<Settling>();
    settling->gone = std::move(gone);
    settling->everyFolder = fuse;
    if (fuse) {
        // Every folder's own sync, on the descriptors the batch is done with.
        settling->error = syncNames(changedIn, true);
        m_settling = std::move(settling);
        settle();
        return;
    }
    // One descriptor of its own carries the volume's sync (without one, all
    // volumes are synced).
    if (const int fd = changedIn.empty() ? -1 : duplicate(changedIn.front()); fd >= 0)
        settling->fds.push_back(fd);
    Settling* s = settling.get();
    try {
        settling->thread = std::thread([s] { s->error = syncNames(s->fds, false); });
    } catch (const std::system_error&) {
        s->error = syncNames(s->fds, false);  // no thread to be had: waited for here
    }
    m_settling = std::move(settling);
}

void Remover::settle()
{
    if (!m_settling)
        return;
    const std::unique_ptr<Settling> s = std::move(m_settling);
    if (s->thread.joinable())
        s->thread.join();
    for (const int fd : s->fds)
        ::close(fd);
    if (s->error != 0) {
        const std::string why =
            std::string("removed, but its folder could not be written to the disk: ") + std::strerror(s->error);
        for (const std::string& shown : s->gone)
            fail(shown, why);
        return;
    }
    for (const std::string& shown : s->gone)
        m_report.gone(shown);
}

void Remover::removeEmptied(Item& item, bool stopped)
{
    Folder& done = *item.emptied;
    item.failed = true;
    const auto tell = [&](const std::string& why) {
        if (!done.reported)
            fail(item.shown, why);
        done.reported = true;
    };
    if (stopped)
        tell(kStopped);
    else if (done.failed)
        tell("not removed: some of what it holds is left");
    // As for a file: only the folder that was emptied, not one put at its name.
    else if (!sameEntryAt(item.in->fd, item.name, item.entry))
        tell("its name no longer leads to the folder that was emptied; not removed");
    else if (const int err = unlinkEntry(item.in->fd, item.name, AT_REMOVEDIR))
        tell(std::string("cannot remove: ") + std::strerror(err));
    else {
        item.failed = false;
        item.removed = true;
    }
}

void Remover::removeFolder(const FolderPtr& parent, const std::string& name, const Entry& entry,
                           const std::string& shown)
{
    const int fd = openFolder(parent->fd, name);
    if (fd < 0) {
        failErrno(shown, "cannot open", errno);
        return;
    }
    Entry self;
    if (statEntry(fd, "", self) != 0 || !self.sameObject(entry)) {
        ::close(fd);
        fail(shown, "changed while being removed; left alone");
        return;
    }
    prepareFolder(fd);

    struct Frame
    {
        std::string name;    // in its parent folder
        std::string shown;   // as the user would write it
        DIR* dir = nullptr;  // null while closed to stay under the fd limit
        FolderPtr folder;    // outlives the frame while its entries wait in a batch
    };
    // A folder's listing and, apart from it, the descriptor its names are
    // removed through; null when either cannot be had.
    const auto held = [](int dirFd, const Entry& e, DIR*& dir) -> FolderPtr {
        auto folder = std::make_shared<Folder>();
        folder->entry = e;
        folder->fd = duplicate(dirFd);
        if (folder->fd < 0 || !(dir = ::fdopendir(dirFd)))
            return nullptr;
        return folder;
    };

    std::vector<Frame> stack;
    size_t firstOpen = 0;  // frames below this index are closed
    {
        DIR* dir = nullptr;
        const FolderPtr top = held(fd, self, dir);
        if (!top) {
            failErrno(shown, "cannot read", errno);
            ::close(fd);
            return;
        }
        stack.push_back(Frame{name, shown, dir, top});
    }
    // Gives up on the folders still open, deepest first: each stays, and says so.
    // What waits in the batch is settled first; files not yet reached were never
    // touched and get no word.
    const auto giveUp = [&](const char* why) {
        drain();
        for (size_t i = stack.size(); i-- > 0;) {
            if (stack[i].dir)
                ::closedir(stack[i].dir);
            if (!stack[i].folder->reported)
                fail(stack[i].shown, why);
            stack[i].folder->reported = true;
        }
        stack.clear();
    };

    while (!stack.empty()) {
        if (g_stopSignal) {
            giveUp(kStopped);
            return;
        }
        Frame& top = stack.back();
        const FolderPtr here = top.folder;
        const int topFd = ::dirfd(top.dir);
        errno = 0;
        if (const dirent* d = ::readdir(top.dir)) {
            const std::string child = d->d_name;
            if (child == "." || child == ".." || here->leftAlone.count(child))
                continue;
            const std::string childShown = top.shown + (top.shown.back() == '/' ? "" : "/") + child;
            Entry ce;
            int err = statEntry(topFd, child, ce);
            if (err == 0 && inBatch(ce)) {
                // Already waiting (named on its own too, or seen again after the
                // folder was reopened): settled first, then looked at anew.
                drain();
                if (here->leftAlone.count(child))
                    continue;
                err = statEntry(topFd, child, ce);
            }
            if (err != 0) {
                if (err == ENOENT)
                    continue;  // gone meanwhile, which is what we want
                failErrno(childShown, "cannot examine", err);
                here->failed = true;
                here->leftAlone.insert(child);
                continue;
            }
            if (!ce.sameMount(entry)) {
                // Another file system mounted inside the tree is not ours to wipe;
                // it also keeps its folder, so the run cannot succeed.
                fail(childShown, "on another file system (a mount point); left alone");
                here->failed = true;
                here->leftAlone.insert(child);
                continue;
            }
            if (!S_ISDIR(ce.mode)) {
                enqueue(Item{child, childShown, ce, here, nullptr, {}});
                continue;
            }
            const int cfd = openFolder(topFd, child);
            Entry opened;
            FolderPtr cf;
            DIR* cdir = nullptr;
            if (cfd < 0 || statEntry(cfd, "", opened) != 0 || !opened.sameObject(ce)) {
                if (cfd < 0)
                    failErrno(childShown, "cannot open", errno);
                else
                    fail(childShown, "changed while being removed; left alone");
            } else {
                prepareFolder(cfd);
                if (!(cf = held(cfd, opened, cdir)))
                    failErrno(childShown, "cannot read", errno);
            }
            if (!cf) {
                if (cfd >= 0)
                    ::close(cfd);
                here->failed = true;
                here->leftAlone.insert(child);
                continue;
            }
            stack.push_back(Frame{child, childShown, cdir, cf});
            if (stack.size() - firstOpen > m_openFolders) {
                // What waits on the folder about to be closed goes first.
                drain();
                Frame& closing = stack[firstOpen];
                ::closedir(closing.dir);
                closing.dir = nullptr;
                ::close(closing.folder->fd);
                closing.folder->fd = -1;
                ++firstOpen;
            }
            continue;
        }
        if (errno != 0) {
            failErrno(top.shown, "cannot read", errno);
            here->failed = true;
            here->reported = true;
        }

        // This folder has been read to its end: it goes after its last entries,
        // in their batch.
        Frame done = std::move(stack.back());
        stack.pop_back();
        FolderPtr up = parent;
        if (!stack.empty()) {
            Frame& upFrame = stack.back();
            if (!upFrame.dir) {
                // It is read again from its start: what waits is settled first,
                // so nothing in it is taken up twice.
                drain();
                Entry check;
                DIR* updir = nullptr;
                const int ufd = ::openat(::dirfd(done.dir), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                const int ufdCopy = ufd < 0 ? -1 : duplicate(ufd);
                if (ufd < 0 || ufdCopy < 0 || statEntry(ufd, "", check) != 0 ||
                    !check.sameObject(upFrame.folder->entry) || !(updir = ::fdopendir(ufd))) {
                    // Someone moved the tree while we were in it; going on could
                    // reach places outside it.
                    if (ufd >= 0)
                        ::close(ufd);
                    if (ufdCopy >= 0)
                        ::close(ufdCopy);
                    ::closedir(done.dir);
                    if (!done.folder->reported)
                        fail(done.shown, "left in place: the tree moved while being removed");
                    done.folder->reported = true;
                    fail(upFrame.shown, "moved while being removed; stopped");
                    upFrame.folder->reported = true;
                    giveUp("left in place: the tree moved while being removed");
                    return;
                }
                upFrame.dir = updir;
                upFrame.folder->fd = ufdCopy;
                firstOpen = stack.size() - 1;
            }
            up = upFrame.folder;
        }
        ::closedir(done.dir);
        enqueue(Item{done.name, done.shown, done.folder->entry, up, done.folder, {}});
    }
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

std::string Remover::whyNotAtName(const Item& item)
{
    Entry now;
    const int err = statEntry(item.in->fd, item.name, now);
    if (err == 0 && now.sameObject(item.entry))
        return {};
    std::string why = S_ISREG(item.entry.mode) ? "emptied, but " : "";
    if (item.hidden)
        why += "no longer found under its hiding name '" + item.name + "'";
    else if (err == ENOENT)
        why += "its name was removed or moved by someone else meanwhile";
    else if (err != 0)
        why += std::string("cannot examine it again: ") + std::strerror(err);
    else
        why += "its name now leads to another entry, which was left alone";
    return why + "; not removed";
}

std::string Remover::removeName(Item& item, Random& random, bool closeFirst)
{
    const int dirFd = item.in->fd;
    // The size goes too, so the entry no longer tells how large the file was.
    // The descriptor stays open until the name is gone: while it is, the inode
    // cannot be freed and its number handed to a file put in its place.
    if (item.target.fd >= 0) {
        if (::ftruncate(item.target.fd, 0) != 0)
            return std::string("cannot truncate: ") + std::strerror(errno);
        item.target.size = 0;
    }
    // Whoever may write the folder can have put something else at the name
    // since it was opened; that entry is not ours to move or remove.
    if (std::string why = whyNotAtName(item); !why.empty())
        return why;

    // An unlinked entry often keeps its name in the folder's block. Renaming first
    // to a random name of the same length gives the file system the chance to
    // write that name over the old one.
    if (S_ISREG(item.entry.mode)) {
        const std::string before = item.name;
        for (int attempt = 0; attempt < 16; ++attempt) {
            const std::string candidate = random.name(item.name.size());
            if (::renameat2(dirFd, item.name.c_str(), dirFd, candidate.c_str(), RENAME_NOREPLACE) == 0) {
                item.name = candidate;
                item.hidden = true;
                break;
            }
            if (errno == EEXIST)
                continue;
            if (errno == EINVAL || errno == ENOSYS) {
                // No RENAME_NOREPLACE here: look first, so no other file is replaced.
                struct stat probe;
                if (::fstatat(dirFd, candidate.c_str(), &probe, AT_SYMLINK_NOFOLLOW) == 0)
                    continue;
                if (errno == ENOENT && ::renameat(dirFd, item.name.c_str(), dirFd, candidate.c_str()) == 0) {
                    item.name = candidate;
                    item.hidden = true;
                }
            }
            break;  // cannot rename: the old name is unlinked as it is
        }
        // The look and the rename are two steps: an entry swapped in between
        // them was moved instead of ours. It goes back where it was, if that
        // name is still free, and ours, wherever it went, stays.
        if (item.hidden && !sameEntryAt(dirFd, item.name, item.entry)) {
            std::string why = "emptied, but its name was given to another entry while being removed; ";
            if (::renameat2(dirFd, item.name.c_str(), dirFd, before.c_str(), RENAME_NOREPLACE) == 0) {
                item.name = before;
                item.hidden = false;
                why += "that entry was left alone";
            } else {
                why += "that entry was left alone under '" + item.name + "'";
            }
            return why + "; not removed";
        }
    }
    // A FUSE kernel unlinks a file still open by renaming it to a hidden name
    // until it is closed, which leaves it, and its folder, in place.
    if (closeFirst && item.target.fd >= 0) {
        ::close(item.target.fd);
        item.target.fd = -1;
    }
    if (S_ISREG(item.entry.mode)) {
        if (std::string why = whyNotAtName(item); !why.empty())
            return why;
    }

    if (const int err = unlinkEntry(dirFd, item.name, 0)) {
        if (item.hidden)
            return "emptied, but left behind as '" + item.name + "': " + std::strerror(err);
        if (S_ISREG(item.entry.mode))
            return std::string("emptied, but cannot remove: ") + std::strerror(err);
        return std::string("cannot remove: ") + std::strerror(err);
    }
    // The last close of an unlinked file frees it, which is most of the cost
    // of a removal: here, side by side with the others.
    if (item.target.fd >= 0) {
        ::close(item.target.fd);
        item.target.fd = -1;
    }
    return {};
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
    m_allGone = false;
    m_report.failed(shown, why);
}

void Remover::failErrno(const std::string& shown, const char* what, int err)
{
    fail(shown, std::string(what) + ": " + std::strerror(err));
}
