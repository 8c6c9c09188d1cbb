#include "LogCapture.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

LogCapture::LogCapture()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        if (master >= 0)
            ::close(master);
        return;
    }
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        ::close(master);
        return;
    }
    termios raw{};
    if (::tcgetattr(slave, &raw) == 0) {
        ::cfmakeraw(&raw);  // lines as written, no "\r\n"
        ::tcsetattr(slave, TCSANOW, &raw);
    }
    std::fflush(stderr);
    m_savedStderr = ::dup(STDERR_FILENO);
    ::dup2(slave, STDERR_FILENO);
    ::close(slave);
    m_master = master;
    m_reader = std::thread([this] {
        char buffer[65536];
        for (;;) {
            pollfd p{m_master, POLLIN, 0};
            const int ready = ::poll(&p, 1, 20);
            if (ready > 0) {
                const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                if (n > 0) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_text.append(buffer, n);
                    continue;
                }
            }
            if (m_stop)
                break;
        }
    });
}

LogCapture::~LogCapture()
{
    if (m_master < 0)
        return;
    std::fflush(stderr);
    ::dup2(m_savedStderr, STDERR_FILENO);
    ::close(m_savedStderr);
    m_stop = true;
    m_reader.join();
    ::close(m_master);
}

QStringList LogCapture::lines()
{
    std::fflush(stderr);
    // What was written is read within a poll round.
    ::usleep(100 * 1000);
    std::lock_guard<std::mutex> lock(m_mutex);
    return QString::fromUtf8(m_text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
