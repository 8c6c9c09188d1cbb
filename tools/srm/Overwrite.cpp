// Overwriting in place is only as good as the storage's promise that a write to
// an offset lands where the old data was. That holds for ext2/3/4 (data=ordered or
// writeback), XFS and FAT on a spinning disk. It does not hold for:
//  - copy-on-write file systems (btrfs, ZFS) and snapshots: the new data goes to new
//    blocks and the old ones stay until reused;
//  - ext3/4 with data=journal: the old contents may sit in the journal;
//  - SSDs, SD cards and USB sticks: the flash translation layer writes elsewhere and
//    keeps the old pages until its garbage collector erases them; only the device's
//    own erase command (or encryption from the start) reaches those;
//  - network file systems and compressed or deduplicating storage.
// On those the tool still removes the name and overwrites what the file system
// lets it address, and says nothing more than that.
#include "Overwrite.h"

#include "FileSystem.h"
#include "Report.h"
#include "Stop.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
// Large writes keep the syscall cost negligible; page alignment lets the kernel copy
// whole pages.
constexpr size_t kChunk = size_t{1} << 20;
constexpr size_t kAlign = 4096;
// Room for a three-byte pattern started at any phase, and for random data rounded up
// to whole 8-byte words.
constexpr size_t kBufferSize = kChunk + kAlign;
// Write-behind: the device works on up to this much while the next chunks are made;
// older chunks are waited for, so the dirty cache stays small.
constexpr off_t kWindow = off_t{32} << 20;

off_t roundUp(off_t n, off_t block) { return (n + block - 1) / block * block; }
}  // namespace

std::vector<Range> dataRanges(int fd, const Entry& e)
{
    const off_t block = e.blockSize > 0 ? e.blockSize : 4096;
    const off_t end = roundUp(e.size, block);
    std::vector<Range> ranges;
    bool known = true;
    for (off_t pos = 0; pos < e.size;) {
        const off_t data = ::lseek(fd, pos, SEEK_DATA);
        if (data < 0) {
            known = errno == ENXIO;  // no data past pos
            break;
        }
        const off_t hole = ::lseek(fd, data, SEEK_HOLE);
        if (hole < 0) {
            known = false;
            break;
        }
        const off_t from = data / block * block;
        const off_t to = std::min(roundUp(hole, block), end);
        if (!ranges.empty() && from <= ranges.back().offset + ranges.back().length)
            ranges.back().length = std::max(ranges.back().length, to - ranges.back().offset);
        else if (to > from)
            ranges.push_back({from, to - from});
        if (hole <= pos) {
            known = false;  // no progress: trust none of it
            break;
        }
        pos = hole;
    }
    ::lseek(fd, 0, SEEK_SET);
    if (!known)
        ranges.assign(1, Range{0, end});
    off_t covered = 0;
    for (const auto& r : ranges)
        covered += r.length;
    // Space allocated past the end: only a file without holes can tell it from
    // its block count (a sparse one's count mixes in its mapping blocks).
    if (covered >= end && e.allocated > covered) {
        if (!ranges.empty() && ranges.back().offset + ranges.back().length == end)
            ranges.back().length += e.allocated - covered;
        else
            ranges.push_back({end, e.allocated - covered});
    }
    return ranges;
}

off_t Target::length() const
{
    off_t n = 0;
    for (const auto& r : ranges)
        n += r.length;
    return n;
}

Overwriter::Overwriter(Random& random, Report& report) : m_random(random), m_report(report)
{
    m_buffer = static_cast<unsigned char*>(std::aligned_alloc(kAlign, kBufferSize));
    if (!m_buffer) {
        std::fputs("srm: out of memory\n", stderr);
        std::exit(1);
    }
}

Overwriter::~Overwriter() { std::free(m_buffer); }

void Overwriter::announce(const Target& target, size_t index, size_t count, const Pass& pass)
{
    if (m_report.verbose())
        m_report.progress(target.shown + ": pass " + std::to_string(index + 1) + "/" + std::to_string(count) + " (" +
                          pass.describe() + ")");
}

Overwriter::Result Overwriter::run(Target& target, const std::vector<Pass>& passes, std::string& error)
{
    // Only a file larger than the window gains from starting the device early.
    const bool writeBehind = target.length() > kWindow;
    for (size_t i = 0; i < passes.size(); ++i) {
        announce(target, i, passes.size(), passes[i]);
        if (const Result r = writePass(target, passes[i], writeBehind, error); r != Result::Done)
            return r;
        // Without a sync after every pass the page cache would merge the passes and
        // only the last one would ever reach the disk.
        if (::fdatasync(target.fd) != 0) {
            error = std::string("cannot sync: ") + std::strerror(errno);
            return Result::Failed;
        }
    }
    return Result::Done;
}

Overwriter::Result Overwriter::writePass(Target& target, const Pass& pass, bool writeBehind, std::string& error)
{
    Random replay = target.lastRandom;
    Random* source = nullptr;
    if (pass.kind == Pass::Random) {
        target.lastRandom = m_random;
        source = &m_random;
    } else if (pass.kind == Pass::Complement) {
        // The same stream as the random pass before, every bit flipped.
        source = &replay;
    } else {
        const size_t fill = static_cast<size_t>(std::min<off_t>(off_t(kChunk), target.length())) + 2;
        for (size_t b = 0; b < fill; ++b)
            m_buffer[b] = pass.bytes[b % 3];
    }

    for (const Range& range : target.ranges) {
        const off_t end = range.offset + range.length;
        off_t waited = range.offset;  // written and waited for up to here
        bool full = false;
        for (off_t offset = range.offset; offset < end && !full; offset += static_cast<off_t>(kChunk)) {
            if (g_stopSignal)
                return Result::Stopped;
            const size_t n = static_cast<size_t>(std::min<off_t>(static_cast<off_t>(kChunk), end - offset));
            const unsigned char* data = m_buffer;
            if (source)
                source->fill(m_buffer, n, pass.kind == Pass::Complement);
            else
                data = m_buffer + offset % 3;  // keep the pattern's phase tied to the file offset
            if (const Result r = writeAll(target, data, n, offset, full, error); r != Result::Done)
                return r;
            if (writeBehind) {
                // Failures here only lose the head start: the sync after the pass
                // reports them.
                ::sync_file_range(target.fd, offset, off_t(n), SYNC_FILE_RANGE_WRITE);
                const off_t written = offset + off_t(n);
                if (written - waited > 2 * kWindow) {
                    const off_t upTo = written - kWindow;
                    ::sync_file_range(target.fd, waited, upTo - waited,
                                      SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                          SYNC_FILE_RANGE_WAIT_AFTER);
                    waited = upTo;
                }
            }
        }
    }
    return Result::Done;
}

Overwriter::Result Overwriter::writeAll(const Target& target, const unsigned char* data, size_t n, off_t offset,
                                        bool& full, std::string& error)
{
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::pwrite(target.fd, data + done, n - done, offset + static_cast<off_t>(done));
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) {
            if (g_stopSignal)
                return Result::Stopped;
            continue;
        }
        // Past the file's own size the file system may have to allocate; nothing
        // old lies there, so a full disk ends the range instead of failing it.
        if (w < 0 && errno == ENOSPC && offset + static_cast<off_t>(done) >= target.size) {
            full = true;
            return Result::Done;
        }
        error = std::string("cannot overwrite: ") + (w < 0 ? std::strerror(errno) : "nothing written");
        return Result::Failed;
    }
    return Result::Done;
}
