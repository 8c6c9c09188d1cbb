#pragma once
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

class Random;

// Makes the random data of the next chunk on a thread of its own while the
// current one is written, so a pass is not held up by generating its data.
// Requests are served one at a time and in order, so the stream is exactly
// the one Random::fill would give inline.
class FillAhead
{
public:
    FillAhead() = default;
    ~FillAhead();
    FillAhead(const FillAhead&) = delete;
    FillAhead& operator=(const FillAhead&) = delete;

    // `source` and `out` are the thread's until wait() returns.
    void start(Random& source, unsigned char* out, size_t bytes, bool invert);
    void wait();

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    Random* m_source = nullptr;
    unsigned char* m_out = nullptr;
    size_t m_bytes = 0;
    bool m_invert = false;
    bool m_pending = false;
    bool m_quit = false;
    std::thread m_thread;
};
