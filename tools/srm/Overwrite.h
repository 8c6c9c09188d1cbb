#pragma once
#include "Passes.h"

#include <string>
#include <sys/types.h>
#include <vector>

class Random;

// Writes every pass over the first `length` bytes of an open file.
class Overwriter
{
public:
    enum class Result { Done, Failed, Stopped };

    explicit Overwriter(Random& random);
    ~Overwriter();
    Overwriter(const Overwriter&) = delete;
    Overwriter& operator=(const Overwriter&) = delete;

    // `size` is the file's own size. Past it the file system may have to allocate,
    // so a full disk there ends the pass instead of failing it: nothing old lies there.
    Result run(int fd, off_t length, off_t size, const std::vector<Pass>& passes, const std::string& shown,
               bool verbose, std::string& error);

private:
    Result writeAll(int fd, const unsigned char* data, size_t n, off_t offset, off_t size, bool& full,
                    std::string& error);

    Random& m_random;
    unsigned char* m_buffer = nullptr;
};
