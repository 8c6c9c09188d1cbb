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
#include <sys/mman.h>
#include <unistd.h>

namespace {
// Large writes keep the syscall cost negligible; page alignment lets the kernel copy
// whole pages.
constexpr size_t kChunk = size_t{1} << 20;
// Past the page cache each write waits for the device, so it carries more: the
// block layer splits it into requests the device works on side by side.
constexpr size_t kDirectChunk = size_t{8} << 20;
// Direct writes need offsets, lengths and memory on this boundary (a page is
// what every local file system here takes; a device needing more refuses, and
// the file is written through the cache instead).
constexpr size_t kAlign = 4096;
// Three-byte patterns start at any phase: the same pattern from kAlign x phase on
// keeps the data aligned (kAlign leaves remainder 1 by 3). Random data is rounded
// up to whole 32-byte blocks.
constexpr size_t kBufferSize = kDirectChunk + 3 * kAlign;
// Buffers in huge pages: pinning them for each direct write then costs the
// kernel a few pages instead of thousands.
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kBufferAlloc = (kBufferSize + kHugePage - 1) / kHugePage * kHugePage;
// Write-behind: the device works on up to this much while the next chunks are made;
// older chunks are waited for, so the dirty cache stays small.
constexpr off_t kWindow = off_t{32} << 20;
// Files up to this size are taken whole when fully allocated (see dataRanges).
constexpr off_t kSmallWhole = off_t{1} << 20;

// The chunks of a pass, range by range, in file order.
class Chunks
{
public:
    Chunks(const std::vector<Range>& ranges, size_t chunk) : m_ranges(ranges), m_chunk(off_t(chunk))
    {
        if (!m_ranges.empty())
            m_at = m_ranges[0].offset;
    }
    bool next(off_t& offset, size_t& n, size_t& range)
    {
        while (m_range < m_ranges.size() && m_at >= m_ranges[m_range].offset + m_ranges[m_range].length) {
            if (++m_range < m_ranges.size())
                m_at = m_ranges[m_range].offset;
        }
        if (m_range >= m_ranges.size())
            return false;
        offset = m_at;
        n = size_t(std::min(m_chunk, m_ranges[m_range].offset + m_ranges[m_range].length - m_at));
        range = m_range;
        m_at += off_t(n);
        return true;
    }
    // The rest of range `r` is left out.
    void skipRange(size_t r)
    {
        if (m_range == r && r < m_ranges.size())
            m_at = m_ranges[r].offset + m_ranges[r].length;
    }

private:
    const std::vector<Range>& m_ranges;
    off_t m_chunk;
    size_t m_range = 0;
    off_t m_at = 0;
};

off_t roundUp(off_t n, off_t block) { return (n + block - 1) / block * block; }
}  // namespace

std::vector<Range> dataRanges(int fd, const Entry& e)
{
    const off_t block = e.blockSize > 0 ? e.blockSize : 4096;
    const off_t end = roundUp(e.size, block);
    // A small file allocated exactly as far as its size has no hole worth
    // looking for (at worst a block of one, which a metadata block hid in the
    // count): three seeks saved on each of a tree's many small files.
    if (e.size > 0 && e.size <= kSmallWhole && e.allocated == end)
        return {Range{0, end}};
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
    for (auto& buffer : m_buffers) {
        buffer = static_cast<unsigned char*>(std::aligned_alloc(kHugePage, kBufferAlloc));
        if (!buffer) {
            std::fputs("srm: out of memory\n", stderr);
            std::exit(1);
        }
        ::madvise(buffer, kBufferAlloc, MADV_HUGEPAGE);  // a hint: small pages work too
    }
}

Overwriter::~Overwriter()
{
    for (auto* buffer : m_buffers)
        std::free(buffer);
}

bool Overwriter::setDirect(int fd, bool on)
{
    // Whatever happens, nothing else is taken for direct any more.
    m_directFd = -1;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return false;
    const int wanted = on ? flags | O_DIRECT : flags & ~O_DIRECT;
    if (wanted != flags && ::fcntl(fd, F_SETFL, wanted) != 0)
        return false;
    if (on)
        m_directFd = fd;
    return true;
}

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
    // Past the page cache the data goes to the device while the next chunk is
    // made, and the truncate afterwards finds no cached pages to drop. A file
    // system that refuses direct writes gets them through the cache.
    const bool direct = writeBehind && setDirect(target.fd, true);
    struct Restore
    {
        Overwriter& o;
        int fd;
        bool on;
        ~Restore()
        {
            if (on)
                o.setDirect(fd, false);
        }
    } restore{*this, target.fd, direct};
    for (size_t i = 0; i < passes.size(); ++i) {
        announce(target, i, passes.size(), passes[i]);
        // A pass that ended on an unaligned tail went on through the cache.
        if (direct && m_directFd != target.fd)
            setDirect(target.fd, true);
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
    const bool invert = pass.kind == Pass::Complement;
    const size_t chunk = m_directFd == target.fd ? kDirectChunk : kChunk;
    if (pass.kind == Pass::Random) {
        target.lastRandom = m_random;
        source = &m_random;
    } else if (pass.kind == Pass::Complement) {
        // The same stream as the random pass before, every bit flipped.
        source = &replay;
    } else {
        const size_t fill = static_cast<size_t>(std::min<off_t>(off_t(chunk), target.length())) + 2 * kAlign;
        for (size_t b = 0; b < fill; ++b)
            m_buffers[0][b] = pass.bytes[b % 3];
    }
    // A file of a chunk or two is done before a second thread would help.
    const bool ahead = source && target.length() > off_t(2 * chunk);

    Chunks chunks(target.ranges, chunk);
    off_t offset = 0;
    size_t n = 0;
    size_t range = 0;
    if (!chunks.next(offset, n, range))
        return Result::Done;
    size_t slot = 0;
    if (ahead)
        m_ahead.start(*source, m_buffers[slot], n, invert);
    // Whatever way the pass ends, the filling thread lets go of the buffers first.
    struct Settle
    {
        FillAhead& a;
        bool on;
        ~Settle()
        {
            if (on)
                a.wait();
        }
    } settle{m_ahead, ahead};

    off_t waited = offset;  // written and waited for up to here, in this range
    size_t waitedRange = range;
    for (;;) {
        if (g_stopSignal)
            return Result::Stopped;
        const unsigned char* data = nullptr;
        if (ahead) {
            m_ahead.wait();
            data = m_buffers[slot];
        } else if (source) {
            source->fill(m_buffers[slot], n, invert);
            data = m_buffers[slot];
        } else {
            // Keep the pattern's phase tied to the file offset.
            data = m_buffers[0] + kAlign * size_t(offset % 3);
        }
        off_t nextOffset = 0;
        size_t nextN = 0;
        size_t nextRange = 0;
        bool more = chunks.next(nextOffset, nextN, nextRange);
        if (ahead && more)
            m_ahead.start(*source, m_buffers[slot ^ 1], nextN, invert);

        bool full = false;
        if (const Result r = writeAll(target, data, n, offset, full, error); r != Result::Done)
            return r;
        if (full && more && nextRange == range) {
            // The rest of this range finds no room either: on to the next one.
            chunks.skipRange(range);
            if (ahead)
                m_ahead.wait();
            more = chunks.next(nextOffset, nextN, nextRange);
            if (ahead && more)
                m_ahead.start(*source, m_buffers[slot ^ 1], nextN, invert);
        }
        if (writeBehind && m_directFd != target.fd && !full) {
            if (waitedRange != range) {
                waitedRange = range;
                waited = offset;
            }
            // Failures here only lose the head start: the sync after the pass
            // reports them.
            ::sync_file_range(target.fd, offset, off_t(n), SYNC_FILE_RANGE_WRITE);
            const off_t written = offset + off_t(n);
            if (written - waited > 2 * kWindow) {
                const off_t upTo = written - kWindow;
                ::sync_file_range(target.fd, waited, upTo - waited,
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
                waited = upTo;
            }
        }
        if (!more)
            return Result::Done;
        offset = nextOffset;
        n = nextN;
        range = nextRange;
        if (source)
            slot ^= 1;
    }
}

Overwriter::Result Overwriter::writeAll(const Target& target, const unsigned char* data, size_t n, off_t offset,
                                        bool& full, std::string& error)
{
    if (m_directFd == target.fd) {
        // A tail off the boundary is written through the cache; the sync after
        // the pass carries it like any buffered write.
        const size_t aligned = offset % off_t(kAlign) == 0 ? n / kAlign * kAlign : 0;
        if (aligned > 0) {
            if (const Result r = writeOne(target, data, aligned, offset, full, error); r != Result::Done || full)
                return r;
            if (m_directFd != target.fd)
                return writeOne(target, data + aligned, n - aligned, offset + off_t(aligned), full, error);
        }
        if (aligned == n)
            return Result::Done;
        if (!setDirect(target.fd, false)) {
            error = std::string("cannot overwrite: ") + std::strerror(errno);
            return Result::Failed;
        }
        return writeOne(target, data + aligned, n - aligned, offset + off_t(aligned), full, error);
    }
    return writeOne(target, data, n, offset, full, error);
}

Overwriter::Result Overwriter::writeOne(const Target& target, const unsigned char* data, size_t n, off_t offset,
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
        if (w < 0 && errno == EINVAL && m_directFd == target.fd) {
            // The file system refuses direct writes after all (or this short
            // write left the boundary): go on through the cache.
            if (setDirect(target.fd, false))
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
