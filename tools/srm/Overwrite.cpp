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

#include "Random.h"
#include "Stop.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {
// Large writes keep the syscall cost negligible; page alignment lets the kernel copy
// whole pages.
constexpr size_t kChunk = size_t{1} << 20;
constexpr size_t kAlign = 4096;
// Room for a three-byte pattern started at any phase, and for random data rounded up
// to whole 8-byte words.
constexpr size_t kBufferSize = kChunk + kAlign;
}  // namespace

Overwriter::Overwriter(Random& random) : m_random(random)
{
    m_buffer = static_cast<unsigned char*>(std::aligned_alloc(kAlign, kBufferSize));
    if (!m_buffer) {
        std::fputs("srm: out of memory\n", stderr);
        std::exit(1);
    }
}

Overwriter::~Overwriter() { std::free(m_buffer); }

Overwriter::Result Overwriter::run(int fd, off_t length, off_t size, const std::vector<Pass>& passes,
                                   const std::string& shown, bool verbose, std::string& error)
{
    Random lastRandom = m_random;
    for (size_t i = 0; i < passes.size(); ++i) {
        const Pass& pass = passes[i];
        if (verbose)
            std::printf("srm: %s: pass %zu/%zu (%s)\n", shown.c_str(), i + 1, passes.size(),
                        pass.describe().c_str());

        Random replay = lastRandom;
        Random* source = nullptr;
        if (pass.kind == Pass::Random) {
            lastRandom = m_random;
            source = &m_random;
        } else if (pass.kind == Pass::Complement) {
            // The same stream as the random pass before, every bit flipped.
            source = &replay;
        } else {
            for (size_t b = 0; b < kChunk + 2; ++b)
                m_buffer[b] = pass.bytes[b % 3];
        }

        bool full = false;
        for (off_t offset = 0; offset < length && !full; offset += static_cast<off_t>(kChunk)) {
            if (g_stopSignal)
                return Result::Stopped;
            const size_t n = static_cast<size_t>(std::min<off_t>(static_cast<off_t>(kChunk), length - offset));
            const unsigned char* data = m_buffer;
            if (source)
                source->fill(m_buffer, n, pass.kind == Pass::Complement);
            else
                data = m_buffer + offset % 3;  // keep the pattern's phase tied to the file offset
            const Result r = writeAll(fd, data, n, offset, size, full, error);
            if (r != Result::Done)
                return r;
        }

        // Without a sync after every pass the page cache would merge the passes and
        // only the last one would ever reach the disk.
        if (::fdatasync(fd) != 0) {
            error = std::string("cannot sync: ") + std::strerror(errno);
            return Result::Failed;
        }
    }
    return Result::Done;
}

Overwriter::Result Overwriter::writeAll(int fd, const unsigned char* data, size_t n, off_t offset, off_t size,
                                        bool& full, std::string& error)
{
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::pwrite(fd, data + done, n - done, offset + static_cast<off_t>(done));
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) {
            if (g_stopSignal)
                return Result::Stopped;
            continue;
        }
        if (w < 0 && errno == ENOSPC && offset + static_cast<off_t>(done) >= size) {
            full = true;
            return Result::Done;
        }
        error = std::string("cannot overwrite: ") + (w < 0 ? std::strerror(errno) : "nothing written");
        return Result::Failed;
    }
    return Result::Done;
}
