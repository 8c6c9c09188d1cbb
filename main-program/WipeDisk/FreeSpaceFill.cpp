#include "WipeDisk/FreeSpaceFill.h"

#include "platform/EntryIdentity.h"
#include "platform/FileSystemInfo.h"
#include "platform/Log.h"
#include "platform/MountTable.h"
#include "platform/RemoveTree.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

const QString FreeSpaceFill::kFolderName = QStringLiteral(".DWHS");
const QString FreeSpaceFill::kReadOnlyText = QStringLiteral(
    "The hard drive is occupied or the hard drive is read-only. \nClose other programs or remove the read-only "
    "attribute to try again.");
const QString FreeSpaceFill::kCancelledText = QStringLiteral("The operation was canceled by the user.");
const QString FreeSpaceFill::kPermissionText = QStringLiteral("You don’t have the 'read' and 'write' permissions for the files.");

FillPlan FillPlan::forFreeSpace(int64_t freeSpace)
{
    FillPlan plan;
    plan.freeSpace = std::max<int64_t>(freeSpace, 0);
    plan.chunkCount = plan.freeSpace / kChunkUnit;
    plan.remainder = plan.freeSpace - plan.chunkCount * kChunkUnit;
    const int64_t shares = plan.remainder > 0 ? plan.chunkCount + 1 : plan.chunkCount;
    plan.step = shares > 0 ? float(100.0 / double(shares)) : 100.0f;
    return plan;
}

int64_t FillPlan::chunkFileSizeFor(int64_t unit)
{
    if (unit <= 1 || unit > (int64_t(64) << 20))
        return kChunkFileSize;
    return (kChunkFileSize + unit - 1) / unit * unit;
}

float FillPlan::progressAfter(int64_t written) const
{
    if (freeSpace <= 0)
        return 0.0f;
    const float value = float(100.0 * double(std::max<int64_t>(written, 0)) / double(freeSpace));
    return std::min(value, 99.0f);
}

namespace {

constexpr size_t kWriteSize = size_t(4) << 20;

// A descriptor closed on every way out.
struct Fd
{
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& o) noexcept : fd(o.fd) { o.fd = -1; }
    Fd& operator=(Fd&& o) noexcept
    {
        std::swap(fd, o.fd);
        return *this;
    }
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    explicit operator bool() const { return fd >= 0; }
};

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The free bytes of the file system behind `fd` as root may use them (or,
// with `keepRootReserve`, as everyone else may), and its allocation unit.
// The FUSE FAT driver tells no blocks at all, only its free clusters (as
// free inodes): `fatCluster`, read from its boot sector, gives them their
// size. Without it the bar had nothing to measure against and stood at 0 %
// for the whole pass.
struct VolumeSpace
{
    int64_t fatCluster = 0;

    bool read(int fd, int64_t* bytes, int64_t* unit = nullptr, bool keepRootReserve = false) const
    {
        struct statvfs sv{};
        if (::fstatvfs(fd, &sv) != 0)
            return false;
        int64_t block = int64_t(sv.f_frsize ? sv.f_frsize : sv.f_bsize);
        int64_t count = int64_t(keepRootReserve ? sv.f_bavail : sv.f_bfree);
        if (sv.f_blocks == 0 && fatCluster > 0) {
            block = fatCluster;
            count = int64_t(sv.f_ffree);
        }
        *bytes = count * block;
        if (unit)
            *unit = block;
        return true;
    }
};

// ext4 keeps a share of its blocks back even from root, so old data there
// would stay out of reach. The reserve is lifted for the fill and put back
// on every way out.
class Ext4ReserveLift
{
public:
    Ext4ReserveLift(const platform::MountEntry& mount, int64_t blockSize)
    {
        if (mount.fsType != QLatin1String("ext4"))
            return;
        const QString block = QFileInfo(QStringLiteral("/sys/dev/block/%1:%2").arg(mount.major).arg(mount.minor))
                                  .canonicalFilePath();
        if (block.isEmpty())
            return;
        const QString path = QStringLiteral("/sys/fs/ext4/%1/reserved_clusters").arg(QFileInfo(block).fileName());
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        m_saved = file.readAll().trimmed();
        file.close();
        // 0 is what a run killed before it could put the reserve back leaves;
        // the kernel's own share then stands in (2 % of the blocks, at most 4096).
        if (m_saved == "0" && blockSize > 0) {
            QFile size(block + QStringLiteral("/size"));
            const int64_t sectors = size.open(QIODevice::ReadOnly) ? size.readAll().trimmed().toLongLong() : 0;
            if (sectors > 0)
                m_saved = QByteArray::number(std::min<int64_t>(sectors * 512 / blockSize / 50, 4096));
        }
        if (m_saved.isEmpty() || !write(path, "0")) {
            platform::log(QStringLiteral("The ext4 reserve of %1 could not be lifted; the fill cannot reach it").arg(mount.source));
            return;
        }
        m_path = path;
    }
    ~Ext4ReserveLift()
    {
        if (!m_path.isEmpty() && !write(m_path, m_saved))
            platform::log(QStringLiteral("The ext4 reserve at %1 could not be put back to %2")
                              .arg(m_path, QString::fromLatin1(m_saved)));
    }

private:
    static bool write(const QString& path, const QByteArray& value)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(value + '\n') == value.size() + 1;
    }
    QString m_path;
    QByteArray m_saved;
};

// What ended the writing of one fill file.
enum class FileEnd { Done, Full, TooBig, Cancelled, Error };

struct FileContent
{
    int64_t limit = -1;         // bytes to write; -1 until the volume is full
    int64_t markOffset = -1;    // where the one random byte goes
    int64_t digitsFrom = 0;     // [from, to) holds characters "0"
    int64_t digitsTo = 0;
};

// Flushes finished fill files while the next ones are written. Files are
// kept open and flushed a batch at a time on a thread of its own: the device
// takes their data in one go, as it would one large file's, instead of the
// writing stopping for a flush after every file. Only one batch is flushed at
// a time, and settle() flushes whatever is left, so no file goes unflushed.
class Flusher
{
public:
    Flusher() = default;
    Flusher(const Flusher&) = delete;
    Flusher& operator=(const Flusher&) = delete;
    ~Flusher() { settle(); }

    // Takes a finished file. When that fills a batch, waits for the batch
    // before it and gives that one's outcome: 0, or the first errno that
    // failed one of its files.
    int hand(Fd fd)
    {
        m_open.push_back(fd.fd);
        fd.fd = -1;
        if (m_open.size() < kBatch)
            return 0;
        const int before = wait();
        try {
            m_thread = std::thread([this, files = m_open] { m_error = flush(files); });
        } catch (const std::system_error&) {
            m_error = flush(m_open);  // no thread to be had: flushed here instead
        }
        m_open.clear();
        return before;
    }

    // Flushes every file handed so far and gives the first failure, if any.
    int settle()
    {
        const int before = wait();
        const int rest = flush(m_open);
        m_open.clear();
        return before != 0 ? before : rest;
    }

private:
    // A flush carries about a gigabyte: long stretches of writing without a
    // stop, and a cancel never waits for much more than that.
    static constexpr size_t kBatch = 8;

    int wait()
    {
        if (m_thread.joinable())
            m_thread.join();
        const int error = m_error;
        m_error = 0;
        return error;
    }

    static int flush(const std::vector<int>& files)
    {
        int error = 0;
        for (const int f : files) {
            if (::fdatasync(f) != 0 && error == 0)
                error = errno;
            if (::close(f) != 0 && errno != EINTR && error == 0)
                error = errno;
        }
        return error;
    }

    std::vector<int> m_open;  // finished, not yet flushed
    std::thread m_thread;
    int m_error = 0;  // written by the thread, read after the join
};

class FillWriter
{
public:
    FillWriter(const std::atomic<bool>& cancel, bool fuse, VolumeSpace space)
        : m_cancel(cancel), m_fuse(fuse), m_space(space), m_zeros(alignedBuffer()), m_scratch(alignedBuffer())
    {
    }

    int64_t written = 0;
    QString why;
    std::function<void(int64_t written)> onWritten;

    // One open, sequential writes, flushed to the device before close.
    FileEnd writeFile(int dirFd, const QString& name, const FileContent& content)
    {
        const QByteArray n = QFile::encodeName(name);
        // Direct writes keep a volume's worth of zeros out of the page cache;
        // drivers without them (most FUSE ones) get ordinary writes.
        const int flags = O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC;
        Fd fd(::openat(dirFd, n.constData(), flags | (m_direct ? O_DIRECT : 0), 0600));
        if (!fd && errno == EINVAL && m_direct) {
            m_direct = false;
            fd = Fd(::openat(dirFd, n.constData(), flags, 0600));
        }
        if (content.markOffset >= 0)
            platform::log(fd ? QStringLiteral("C Suss") : QStringLiteral("C Fail"));
        if (!fd) {
            const int error = errno;
            if (isFull(error, dirFd))
                return FileEnd::Full;
            platform::log(QStringLiteral("file open fail"));
            why = error == EACCES || error == EPERM
                      ? FreeSpaceFill::kPermissionText
                      : QStringLiteral("The fill file %1 could not be created: %2").arg(name, errnoText(error));
            return FileEnd::Error;
        }
        FileEnd end = FileEnd::Done;
        int64_t pos = 0;
        while (content.limit < 0 || pos < content.limit) {
            if (m_cancel.load()) {
                end = FileEnd::Cancelled;
                break;
            }
            size_t len = kWriteSize;
            if (content.limit >= 0)
                len = size_t(std::min<int64_t>(int64_t(len), content.limit - pos));
            const char* data = chunkAt(pos, len, content);
            const FileEnd step = writeAll(fd.fd, data, len, &pos);
            if (onWritten)
                onWritten(written);
            if (step != FileEnd::Done) {
                end = step;
                break;
            }
        }
        if (end == FileEnd::Error || end == FileEnd::Cancelled)
            return end;
        // Deleting before the pages reach the device could drop them unwritten.
        // The flush runs while the next files are written; finish() waits for
        // every file's before anything is deleted.
        const FileEnd before = flushed(m_flusher.hand(std::move(fd)), dirFd);
        return before == FileEnd::Done ? end : before;
    }

    // Flushes what is not yet flushed. Every fill file's data is on the device
    // once this gave Done.
    FileEnd finish(int dirFd)
    {
        const int error = m_flusher.settle();
        return flushed(m_flushError != 0 ? m_flushError : error, dirFd);
    }

private:
    FileEnd flushed(int error, int dirFd)
    {
        if (error == 0)
            return FileEnd::Done;
        if (isFull(error, dirFd))
            return FileEnd::Full;
        why = QStringLiteral("The fill could not be written to the volume: %1").arg(errnoText(error));
        return FileEnd::Error;
    }

    // `asked`: the bytes of the write that was refused (0 for a create).
    bool isFull(int error, int fd, int64_t asked = 0) const
    {
        if (error == ENOSPC || error == EDQUOT)
            return true;
        // Some FUSE drivers answer a full volume with EPERM, and the FAT one
        // refuses a write it cannot take whole: smaller ones take the rest.
        int64_t left = 0;
        return error == EPERM && m_fuse && m_space.read(fd, &left) && left <= asked;
    }

    const char* chunkAt(int64_t pos, size_t len, const FileContent& c)
    {
        const int64_t end = pos + int64_t(len);
        const bool mark = c.markOffset >= pos && c.markOffset < end;
        const bool digits = c.digitsTo > c.digitsFrom && c.digitsFrom < end && c.digitsTo > pos;
        if (!mark && !digits)
            return m_zeros.get();
        std::memset(m_scratch.get(), 0, len);
        if (digits) {
            const int64_t from = std::max(pos, c.digitsFrom);
            const int64_t to = std::min(end, c.digitsTo);
            std::memset(m_scratch.get() + (from - pos), '0', size_t(to - from));
        }
        if (mark)
            m_scratch.get()[size_t(c.markOffset - pos)] = char(::arc4random() & 0xff);
        return m_scratch.get();
    }

    FileEnd writeAll(int fd, const char* data, size_t len, int64_t* pos)
    {
        size_t done = 0;
        while (done < len) {
            // A slow volume (small clusters behind a user-space driver) takes
            // seconds for one large write: smaller ones there, each told, so
            // the bar follows the bytes instead of standing still.
            const auto began = std::chrono::steady_clock::now();
            const size_t asked = std::min(len - done, m_piece);
            const ssize_t n = ::write(fd, data + done, asked);
            if (n > 0) {
                done += size_t(n);
                *pos += n;
                written += n;
                if (std::chrono::steady_clock::now() - began > std::chrono::milliseconds(250) && m_piece > kSmallestPiece)
                    m_piece /= 4;
                if (onWritten && done < len)
                    onWritten(written);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EINVAL && (::fcntl(fd, F_GETFL) & O_DIRECT)) {
                // The driver refuses direct writes after all: go on buffered.
                m_direct = false;
                if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_DIRECT) == 0)
                    continue;
            }
            const int error = n == 0 ? ENOSPC : errno;
            if (isFull(error, fd, int64_t(asked))) {
                squeeze(fd, pos);
                return FileEnd::Full;
            }
            if (error == EFBIG)
                return FileEnd::TooBig;
            why = QStringLiteral("The fill could not be written to the volume: %1").arg(errnoText(error));
            return FileEnd::Error;
        }
        return FileEnd::Done;
    }

    // A file system that refuses a large write may still take small ones:
    // ext4 holds back blocks for the metadata of writes not yet on the
    // device, and gives them up once the data is. Last blocks of free space
    // are old data too.
    void squeeze(int fd, int64_t* pos)
    {
        // The files before it may hold back blocks too until they are flushed.
        if (const int error = m_flusher.settle(); error != 0 && m_flushError == 0)
            m_flushError = error;
        struct statvfs sv{};
        const size_t piece = ::fstatvfs(fd, &sv) == 0 && sv.f_bsize > 0 && sv.f_bsize <= kWriteSize ? size_t(sv.f_bsize) : 4096;
        // Each round writes small pieces until refused, then flushes; a round
        // that gains nothing ends it.
        for (bool gained = true; gained && !m_cancel.load();) {
            if (::fdatasync(fd) != 0)
                return;
            gained = false;
            while (!m_cancel.load()) {
                const ssize_t n = ::write(fd, m_zeros.get(), piece);
                if (n > 0) {
                    *pos += n;
                    written += n;
                    gained = true;
                } else if (!(n < 0 && errno == EINTR)) {
                    break;
                }
            }
        }
    }

    const std::atomic<bool>& m_cancel;
    bool m_fuse;
    VolumeSpace m_space;
    struct FreeDeleter
    {
        void operator()(char* p) const { std::free(p); }
    };
    using Buffer = std::unique_ptr<char, FreeDeleter>;
    static Buffer alignedBuffer()
    {
        Buffer b(static_cast<char*>(std::aligned_alloc(4096, kWriteSize)));
        if (b)
            std::memset(b.get(), 0, kWriteSize);
        return b;
    }

    Buffer m_zeros;
    Buffer m_scratch;
    static constexpr size_t kSmallestPiece = size_t(64) << 10;
    size_t m_piece = kWriteSize;  // the largest single write; smaller on a slow volume
    bool m_direct = true;
    Flusher m_flusher;
    int m_flushError = 0;  // a failed flush of earlier files, told at finish()
};

// ext4 writes the new folder's block to its journal only; were the folder
// removed before the journal is written back, the block would keep the old
// data it held. The checkpoint writes it in place while it is still ours.
void writeJournalHome(int fd)
{
    constexpr unsigned long kExt4Checkpoint = _IOW('f', 43, uint32_t);
    uint32_t flags = 0;
    if (::syncfs(fd) != 0 || ::ioctl(fd, kExt4Checkpoint, &flags) != 0)
        platform::log(QStringLiteral("The ext4 journal could not be written back: %1").arg(errnoText(errno)));
}

// The visible mount at `mountPoint` when it is `deviceNode`'s.
std::optional<platform::MountEntry> mountedDevice(const QString& deviceNode, const QString& mountPoint)
{
    std::optional<platform::MountEntry> top;
    for (const platform::MountEntry& e : platform::readMountTable())
        if (e.mountPoint == mountPoint)
            top = e;  // the last one mounted there is the one seen
    if (!top)
        return std::nullopt;
    const QString want = QFileInfo(deviceNode).canonicalFilePath();
    const QString have = QFileInfo(top->source).canonicalFilePath();
    if (want.isEmpty() || want != have)
        return std::nullopt;
    return top;
}

// The identity of the open folder `root` when it lies on `mount`'s device:
// anything else mounted at the mount point since is not the volume.
std::optional<platform::EntryIdentity> volumeRoot(int root, const platform::MountEntry& mount)
{
    const auto id = platform::entryIdentity(root, "");
    if (!id || id->device != ((uint64_t(mount.major) << 32) | uint64_t(mount.minor)))
        return std::nullopt;
    return id;
}

// Whether the fill folder `id` lies on the volume itself: not a mount point,
// not on another mount or device (a btrfs subvolume included).
bool onVolume(const platform::EntryIdentity& id, const platform::EntryIdentity& root)
{
    return !id.isMountRoot && id.sameVolume(root);
}

}  // namespace

const QString FreeSpaceFill::kForeignFolderText = QStringLiteral(
    "Another volume is mounted at the fill folder %1, or it lies on another volume. Nothing on it was touched: "
    "unmount it from there and try again.");

FreeSpaceFill::FreeSpaceFill(QString deviceNode, QString mountPoint, int passes)
    : m_deviceNode(std::move(deviceNode)), m_mountPoint(std::move(mountPoint)), m_passes(std::max(passes, 1))
{
}

QString FreeSpaceFill::folderPath() const
{
    return m_mountPoint.isEmpty() ? QString() : m_mountPoint + '/' + kFolderName;
}

bool FreeSpaceFill::removeFolderAt(const QString& deviceNode, const QString& mountPoint)
{
    if (mountPoint.isEmpty())
        return true;
    const std::optional<platform::MountEntry> mount = mountedDevice(deviceNode, mountPoint);
    if (!mount)
        return true;  // not mounted there any more: whatever is at that path is not the volume's
    Fd root(::open(QFile::encodeName(mountPoint).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root || !volumeRoot(root.fd, *mount))
        return false;
    // A mount at the fill folder is refused by the removal: nothing below it goes.
    const QByteArray name = kFolderName.toLatin1();
    const bool ok = platform::removeEntry(root.fd, name.constData());
    ::syncfs(root.fd);
    return ok;
}

FillResult FreeSpaceFill::run(const Callbacks& callbacks)
{
    FillResult result;
    for (int pass = 1; pass <= m_passes; ++pass) {
        if (m_cancel.load()) {
            result.outcome = FillResult::Outcome::Cancelled;
            break;
        }
        const FillResult passResult = runPass(pass, callbacks, &result.written);
        result.unreached = passResult.unreached;
        if (passResult.outcome != FillResult::Outcome::Success) {
            result.outcome = passResult.outcome;
            result.reason = passResult.reason;
            break;
        }
    }
    if (result.outcome == FillResult::Outcome::Cancelled)
        result.reason = kCancelledText;
    return result;
}

FillResult FreeSpaceFill::runPass(int pass, const Callbacks& callbacks, int64_t* written)
{
    auto failed = [](const QString& why) {
        platform::log(why);
        return FillResult{FillResult::Outcome::Failed, why, 0};
    };
    const std::optional<platform::MountEntry> mount = mountedDevice(m_deviceNode, m_mountPoint);
    if (!mount)
        return failed(QStringLiteral("%1 is no longer mounted at %2").arg(m_deviceNode, m_mountPoint));
    Fd root(::open(QFile::encodeName(m_mountPoint).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat rootStat{};
    if (!root || ::fstat(root.fd, &rootStat) != 0)
        return failed(QStringLiteral("%1 cannot be opened: %2").arg(m_mountPoint, errnoText(errno)));
    const std::optional<platform::EntryIdentity> rootId = volumeRoot(root.fd, *mount);
    if (!rootId)
        return failed(QStringLiteral("%1 is no longer mounted at %2").arg(m_deviceNode, m_mountPoint));
    if (mount->readOnly())
        return failed(kReadOnlyText);
    const bool fuse = mount->fsType.startsWith(QLatin1String("fuse"));
    const VolumeSpace space{fuse ? platform::fatClusterSize(m_deviceNode) : 0};
    int64_t blockSize = 0;
    {
        int64_t ignored = 0;
        space.read(root.fd, &ignored, &blockSize);
    }
    std::optional<Ext4ReserveLift> reserve;
    if (!m_systemVolume)
        reserve.emplace(*mount, blockSize);

    // A folder of that name is ours from a run that was killed; anything
    // else there was put in its place and is removed as itself, not used.
    // Another volume mounted there is neither: it is not entered at all.
    const QByteArray folderName = kFolderName.toLatin1();
    const QString folderShown = m_mountPoint + '/' + kFolderName;
    struct stat old{};
    if (::fstatat(root.fd, folderName.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
        const auto oldId = platform::entryIdentity(root.fd, folderName.constData());
        if (!oldId || !onVolume(*oldId, *rootId))
            return failed(kForeignFolderText.arg(folderShown));
        const bool ours = S_ISDIR(old.st_mode) && (old.st_uid == 0 || old.st_uid == rootStat.st_uid);
        const bool removed = platform::removeEntry(root.fd, folderName.constData());
        if (!ours)
            return failed(removed ? QStringLiteral("Something else stood in place of the fill folder %1/%2; it was removed. Try again.")
                                        .arg(m_mountPoint, kFolderName)
                                  : QStringLiteral("%1/%2 is in the way and cannot be removed").arg(m_mountPoint, kFolderName));
        if (!removed)
            return failed(QStringLiteral("The fill folder left by an earlier run at %1/%2 cannot be removed")
                              .arg(m_mountPoint, kFolderName));
    }
    if (::mkdirat(root.fd, folderName.constData(), 0700) != 0) {
        const int error = errno;
        // No fallback folder elsewhere: it would fill another volume.
        platform::log(QStringLiteral("1Create folder path: %1/%2").arg(m_mountPoint, kFolderName));
        platform::log(QStringLiteral("Create finder fail"));
        if (error == EROFS || error == EACCES || error == EPERM)
            return failed(kReadOnlyText);
        return failed(QStringLiteral("The fill folder cannot be created on %1: %2").arg(m_mountPoint, errnoText(error)));
    }
    if (mount->fsType == QLatin1String("ext4"))
        writeJournalHome(root.fd);
    Fd folder(::openat(root.fd, folderName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder) {
        platform::removeEntry(root.fd, folderName.constData());
        return failed(QStringLiteral("The fill folder on %1 cannot be opened").arg(m_mountPoint));
    }
    // Something mounted over the new folder before it was opened: what was
    // opened is that volume, and it is left as it is.
    if (const auto made = platform::entryIdentity(folder.fd, ""); !made || !onVolume(*made, *rootId))
        return failed(kForeignFolderText.arg(folderShown));

    int64_t freeSpace = 0;
    int64_t unit = 0;
    if (!space.read(folder.fd, &freeSpace, &unit, m_systemVolume)) {
        platform::removeEntry(root.fd, folderName.constData());
        return failed(QStringLiteral("The free space of %1 cannot be read: %2").arg(m_mountPoint, errnoText(errno)));
    }
    const FillPlan plan = FillPlan::forFreeSpace(freeSpace);

    FillWriter writer(m_cancel, fuse, space);
    int shownPercent = -1;
    auto report = [&](int64_t done) {
        const float value = plan.progressAfter(done);
        if (int(value) == shownPercent)
            return;
        shownPercent = int(value);
        if (callbacks.progress)
            callbacks.progress(value, pass, m_passes);
    };
    writer.onWritten = report;
    // On a system volume the pass stops where only the root reserve is left.
    auto budgetLeft = [&] { return m_systemVolume ? plan.freeSpace - writer.written : std::numeric_limits<int64_t>::max(); };
    FileEnd end = FileEnd::Done;
    // Chunk files 1 .. N-1.
    for (int64_t k = 1; k < plan.chunkCount; ++k) {
        if (m_cancel.load()) {
            end = FileEnd::Cancelled;
            break;
        }
        FileContent chunk;
        // Up to whole allocation units: the unwritten tail of a file's last
        // cluster keeps old data on FAT and ExFAT.
        chunk.limit = FillPlan::chunkFileSizeFor(unit);
        chunk.markOffset = FillPlan::kBlock;
        if (chunk.limit > budgetLeft())
            break;
        shownPercent = -1;  // each chunk file is announced
        report(writer.written);
        end = writer.writeFile(folder.fd, QStringLiteral(".DWHS_%1").arg(k), chunk);
        if (end == FileEnd::TooBig)
            end = FileEnd::Done;  // the next file starts from nothing again
        if (end == FileEnd::Full)
            platform::log(QStringLiteral("This is a error"));
        if (end != FileEnd::Done)
            break;
    }
    // File N: the remainder (whole blocks of zeros, then the odd bytes as
    // "0"), then zeros until the volume is full. A file-size limit only
    // moves on to the next name.
    const int64_t firstLast = std::max<int64_t>(plan.chunkCount, 0);
    int64_t n = firstLast;
    for (; end == FileEnd::Done || end == FileEnd::TooBig; ++n) {
        if (n - firstLast > 100'000) {
            writer.why = QStringLiteral("The volume %1 takes no more data but does not say it is full").arg(m_mountPoint);
            end = FileEnd::Error;
            break;
        }
        if (m_cancel.load()) {
            end = FileEnd::Cancelled;
            break;
        }
        if (budgetLeft() <= 0) {
            end = FileEnd::Full;
            break;
        }
        FileContent last;
        if (n == plan.chunkCount) {
            last.digitsFrom = plan.remainder - plan.remainder % FillPlan::kBlock;
            last.digitsTo = plan.remainder;
        }
        if (m_systemVolume)
            last.limit = budgetLeft();
        end = writer.writeFile(folder.fd, QStringLiteral(".DWHS_%1").arg(n), last);
    }
    if (end == FileEnd::Full)
        platform::log(QStringLiteral("NO FACE"));

    // Full is not yet all: a file system keeps blocks set aside for files
    // still open (ext4's per-file and per-group preallocations) out of every
    // other file's reach, and gives them back only once those files are
    // closed. So close and flush every fill file, then fill again, until a
    // round gains nothing.
    int64_t unreached = 0;
    if (end == FileEnd::Full && !m_systemVolume) {
        for (int round = 0; round < 16; ++round) {
            if (m_cancel.load()) {
                end = FileEnd::Cancelled;
                break;
            }
            if (writer.finish(folder.fd) == FileEnd::Error) {
                end = FileEnd::Error;
                break;
            }
            ::syncfs(folder.fd);
            const int64_t before = writer.written;
            const FileEnd more = writer.writeFile(folder.fd, QStringLiteral(".DWHS_%1").arg(++n), FileContent{});
            if (more == FileEnd::Cancelled || more == FileEnd::Error) {
                end = more;
                break;
            }
            if (writer.written == before)
                break;
        }
        if (end == FileEnd::Full && writer.finish(folder.fd) != FileEnd::Error) {
            ::syncfs(folder.fd);
            int64_t left = 0;
            if (space.read(folder.fd, &left) && left > 0) {
                unreached = left;
                platform::log(QStringLiteral("%1 free bytes of %2 stayed out of the fill's reach").arg(left).arg(m_mountPoint));
            }
        }
    }

    // A flush that failed fails the pass, unless it was already ending otherwise.
    if (const FileEnd flushed = writer.finish(folder.fd); flushed == FileEnd::Error && end != FileEnd::Error &&
                                                          end != FileEnd::Cancelled)
        end = FileEnd::Error;
    folder = Fd();
    const bool removed = platform::removeEntry(root.fd, folderName.constData());
    ::syncfs(root.fd);
    *written += writer.written;

    // Only a pass written to its end says so: after a cancel or a failure the
    // bar keeps showing what was written.
    if (callbacks.passEnded && end != FileEnd::Cancelled && end != FileEnd::Error)
        callbacks.passEnded(pass, m_passes);
    if (end == FileEnd::Cancelled)
        return FillResult{FillResult::Outcome::Cancelled, kCancelledText, 0};
    if (end == FileEnd::Error)
        return failed(writer.why);
    if (!removed)
        return failed(QStringLiteral("The fill folder %1/%2 could not be removed").arg(m_mountPoint, kFolderName));
    // A volume that took far less than it said was free was not filled.
    const int64_t slack = freeSpace / 50 + (int64_t(8) << 20);
    if (writer.written + slack < freeSpace)
        return failed(QStringLiteral("Only %1 of %2 free bytes of %3 could be overwritten")
                          .arg(writer.written)
                          .arg(freeSpace)
                          .arg(m_mountPoint));
    FillResult done;
    done.unreached = unreached;
    return done;
}
