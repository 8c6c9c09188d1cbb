#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

#include <sys/mount.h>
#include <unistd.h>

// One run of the staged srm.
struct SrmRun
{
    int code = -1;
    bool crashed = false;  // ended by a signal, or did not end in time
    QByteArray out;
    QByteArray err;

    int passLines() const { return int(out.count(": pass ")); }
};

QString srmPath();
SrmRun runSrm(const QStringList& args, int timeoutMs = 60000, const std::function<void()>& inChild = {});

// Writes `content` to `path` and syncs it, so it is on the disk, not only cached.
void writeSynced(const QString& path, const QByteArray& content);

// Unmounts what a test mounted, also when the test fails.
struct ScopedMount
{
    QByteArray target;
    bool mounted = false;
    ScopedMount(const QString& source, const QString& where, const char* type, unsigned long flags);
    ~ScopedMount();
};

#define SKIP_UNLESS_ROOT()                                   \
    do {                                                     \
        if (::geteuid() != 0)                                \
            GTEST_SKIP() << "needs root";                    \
    } while (0)
