#pragma once
#include "Ahead.h"
#include "Passes.h"
#include "Random.h"

#include <string>
#include <sys/types.h>
#include <vector>

struct Entry;
class Report;

// A stretch of a file that every pass covers.
struct Range
{
    off_t offset = 0;
    off_t length = 0;
};

// Where a file's old data lies: the allocated extents within its size, each widened
// to whole blocks (a block's tail past the end of the file still holds old bytes
// of an earlier, longer version), plus space allocated past the end (fallocate).
// Holes hold nothing of the file: writing them would only allocate, and may fill
// the volume.
std::vector<Range> dataRanges(int fd, const Entry& entry);

// A file under overwriting.
struct Target
{
    int fd = -1;
    std::string shown;
    off_t size = 0;  // its own size, restored after a failure
    std::vector<Range> ranges;
    Random lastRandom;  // where its last random pass started, for a complement to replay

    off_t length() const;
};

// Writes passes over the data ranges of open files.
class Overwriter
{
public:
    enum class Result { Done, Failed, Stopped };

    Overwriter(Random& random, Report& report);
    ~Overwriter();
    Overwriter(const Overwriter&) = delete;
    Overwriter& operator=(const Overwriter&) = delete;

    // Every pass over one file, each on the device before the next begins.
    Result run(Target& target, const std::vector<Pass>& passes, std::string& error);

    // One pass, written but not synced; the caller syncs. With write-behind the
    // device is kept busy with the chunks written so far while later ones are made,
    // so the sync at the end waits only for the tail.
    Result writePass(Target& target, const Pass& pass, bool writeBehind, std::string& error);

    void announce(const Target& target, size_t index, size_t count, const Pass& pass);

private:
    Result writeAll(const Target& target, const unsigned char* data, size_t n, off_t offset, bool& full,
                    std::string& error);
    Result writeOne(const Target& target, const unsigned char* data, size_t n, off_t offset, bool& full,
                    std::string& error);
    bool setDirect(int fd, bool on);

    Random& m_random;
    Report& m_report;
    // Two, so one is written while the other is filled.
    unsigned char* m_buffers[2] = {nullptr, nullptr};
    FillAhead m_ahead;
    int m_directFd = -1;  // the file now written past the page cache, if any
};
