#pragma once
#include <QByteArray>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <thread>

// What the program logs while it lives: the log also goes to stderr when that
// is a terminal, so stderr becomes one (a pseudo terminal, drained by a
// thread so a long log never blocks the writer). Restores stderr on exit.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    bool ok() const { return m_master >= 0; }
    // The lines logged so far.
    QStringList lines();

private:
    int m_master = -1;
    int m_savedStderr = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_reader;
    std::mutex m_mutex;
    QByteArray m_text;
};
