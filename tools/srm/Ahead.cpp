#include "Ahead.h"

#include "Random.h"

#include <csignal>
#include <pthread.h>
#include <system_error>

FillAhead::~FillAhead()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void FillAhead::start(Random& source, unsigned char* out, size_t bytes, bool invert)
{
    if (!m_thread.joinable()) {
        // The stop signals must reach the writing thread, whose blocked write
        // they interrupt; the new thread inherits the mask in force here.
        sigset_t all, old;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &old);
        try {
            m_thread = std::thread([this] { loop(); });
        } catch (const std::system_error&) {
            // No thread to be had: the data is made here, as it always could be.
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        if (!m_thread.joinable()) {
            source.fill(out, bytes, invert);
            return;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_source = &source;
        m_out = out;
        m_bytes = bytes;
        m_invert = invert;
        m_pending = true;
    }
    m_changed.notify_all();
}

void FillAhead::wait()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_pending; });
}

void FillAhead::loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_pending || m_quit; });
        if (m_quit)
            return;
        Random* source = m_source;
        unsigned char* out = m_out;
        const size_t bytes = m_bytes;
        const bool invert = m_invert;
        lock.unlock();
        source->fill(out, bytes, invert);
        lock.lock();
        m_pending = false;
        m_changed.notify_all();
    }
}
