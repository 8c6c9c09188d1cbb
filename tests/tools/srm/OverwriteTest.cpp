// The overwrite engine on its own: what each pass leaves in a large file,
// which is written past the page cache with its random data made on a second
// thread.
#include "Overwrite.h"
#include "Report.h"

#include "TempTree.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr off_t kMiB = off_t(1) << 20;

// Whether the folder's file system takes direct writes at all.
bool takesDirectWrites(const QString& folder)
{
    const QByteArray probe = QFile::encodeName(folder + "/probe");
    const int fd = ::open(probe.constData(), O_CREAT | O_WRONLY | O_DIRECT, 0600);
    if (fd >= 0)
        ::close(fd);
    ::unlink(probe.constData());
    return fd >= 0;
}

// How many pages of the ranges sit in the page cache.
size_t cachedPages(int fd, off_t size, const std::vector<Range>& ranges)
{
    void* map = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return size_t(-1);
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> in((size_t(size) + page - 1) / page);
    size_t n = 0;
    if (::mincore(map, size_t(size), in.data()) == 0) {
        for (const Range& r : ranges)
            for (size_t p = size_t(r.offset) / page; p * page < size_t(r.offset + r.length); ++p)
                n += in[p] & 1;
    }
    ::munmap(map, size_t(size));
    return n;
}

QByteArray contents(int fd, off_t size)
{
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    return ::pread(fd, out.data(), size_t(size), 0) == size ? out : QByteArray();
}

}  // namespace

// Two ranges around a gap that must stay as it was, the second starting off a
// multiple of three and ending off the direct-write boundary: the random pass
// is exactly the generator's stream, the complement its inverse, and a
// three-byte pattern keeps its phase tied to the file offset.
TEST(Overwrite, LargeFilePassesWriteExactlyTheirDataAndLeaveTheGap)
{
    TempTree tree;
    const QByteArray path = QFile::encodeName(tree / "large");
    const Range first{0, 20 * kMiB + 4096};
    const Range second{30 * kMiB + 8192, 12 * kMiB + 1000};
    const off_t size = second.offset + second.length;
    const int fd = ::open(path.constData(), O_CREAT | O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    {
        const QByteArray old(qsizetype(size), 'x');
        ASSERT_EQ(::pwrite(fd, old.constData(), size_t(size), 0), ssize_t(size));
    }

    Report report(false, false);
    Random random = Random::fromSystem();
    Overwriter overwriter(random, report);
    Target target;
    target.fd = fd;
    target.size = size;
    target.ranges = {first, second};

    Random expected = random;
    QByteArray stream(qsizetype(first.length + second.length + 8), Qt::Uninitialized);
    expected.fill(reinterpret_cast<unsigned char*>(stream.data()), size_t(stream.size()), false);
    const auto check = [&](const char* pass, const std::function<char(off_t at, off_t inStream)>& want) {
        const QByteArray now = contents(fd, size);
        ASSERT_EQ(now.size(), size) << pass;
        off_t inStream = 0;
        for (const Range& r : {first, second}) {
            for (off_t at = r.offset; at < r.offset + r.length; ++at, ++inStream) {
                if (now[qsizetype(at)] != want(at, inStream))
                    FAIL() << pass << ": wrong byte at " << at;
            }
        }
        for (off_t at = first.length; at < second.offset; ++at) {
            if (now[qsizetype(at)] != 'x')
                FAIL() << pass << ": the gap was written at " << at;
        }
    };

    std::string error;
    Pass randomPass;
    randomPass.kind = Pass::Random;
    ASSERT_EQ(overwriter.run(target, {randomPass}, error), Overwriter::Result::Done) << error;
    if (takesDirectWrites(tree.path())) {
        // Only the tail off the direct-write boundary went through the cache.
        EXPECT_LE(cachedPages(fd, size, target.ranges), 1u) << "the pass went through the page cache";
    }
    check("random", [&](off_t, off_t i) { return stream[qsizetype(i)]; });

    Pass complement;
    complement.kind = Pass::Complement;
    ASSERT_EQ(overwriter.run(target, {complement}, error), Overwriter::Result::Done) << error;
    check("complement", [&](off_t, off_t i) { return char(~stream[qsizetype(i)]); });

    Pass pattern;
    pattern.kind = Pass::Pattern;
    const unsigned char bytes[3] = {0x92, 0x49, 0x24};
    std::copy(bytes, bytes + 3, pattern.bytes);
    ASSERT_EQ(overwriter.run(target, {pattern}, error), Overwriter::Result::Done) << error;
    check("pattern", [&](off_t at, off_t) { return char(bytes[at % 3]); });

    // What follows (truncate, rename) uses the descriptor as it was opened.
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_DIRECT, 0);
    ::close(fd);
}

// A file that stays below the size worth a second thread and direct writes
// gets the same stream, chunk after chunk, through the cache.
TEST(Overwrite, SmallFilePassGetsTheSameStreamInline)
{
    TempTree tree;
    const QByteArray path = QFile::encodeName(tree / "small");
    const off_t size = 3 * kMiB + 512;
    const int fd = ::open(path.constData(), O_CREAT | O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);

    Report report(false, false);
    Random random = Random::fromSystem();
    Random expected = random;
    Overwriter overwriter(random, report);
    Target target;
    target.fd = fd;
    target.size = size;
    target.ranges = {Range{0, size}};
    std::string error;
    Pass pass;
    ASSERT_EQ(overwriter.writePass(target, pass, false, error), Overwriter::Result::Done) << error;
    QByteArray stream(qsizetype(size), Qt::Uninitialized);
    expected.fill(reinterpret_cast<unsigned char*>(stream.data()), size_t(stream.size()), false);
    EXPECT_EQ(contents(fd, size), stream);
    // The pass took its draws from the tool's own generator: the next data
    // follows on from it.
    unsigned char after[64], afterExpected[64];
    random.fill(after, sizeof after, false);
    expected.fill(afterExpected, sizeof afterExpected, false);
    EXPECT_EQ(std::memcmp(after, afterExpected, sizeof after), 0);
    ::close(fd);
}
