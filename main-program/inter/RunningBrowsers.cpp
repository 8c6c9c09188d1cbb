#include "inter/RunningBrowsers.h"

#include "platform/Log.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

namespace {

struct ProcessInfo
{
    pid_t pid = 0;
    pid_t parent = 0;
    uid_t realUid = 0;
    QString command;  // the kernel's command name, at most 15 characters
    QString exe;      // the executable's file name; empty for kernel threads
    bool zombie = false;
};

std::optional<ProcessInfo> readProcess(const QString& procRoot, pid_t pid)
{
    QFile status(QStringLiteral("%1/%2/status").arg(procRoot).arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    ProcessInfo info;
    info.pid = pid;
    bool haveUid = false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("Name:"))
            info.command = QString::fromUtf8(line.mid(5).trimmed());
        else if (line.startsWith("State:"))
            info.zombie = line.mid(6).trimmed().startsWith('Z');
        else if (line.startsWith("PPid:"))
            info.parent = pid_t(line.mid(5).trimmed().toLong());
        else if (line.startsWith("Uid:")) {
            const QList<QByteArray> ids = line.mid(4).simplified().split(' ');
            info.realUid = uid_t(ids.value(0).toULong(&haveUid));
        }
    }
    if (!haveUid)
        return std::nullopt;
    QString exe = QFile::symLinkTarget(QStringLiteral("%1/%2/exe").arg(procRoot).arg(pid));
    if (exe.endsWith(QLatin1String(" (deleted)")))
        exe.chop(10);
    info.exe = QFileInfo(exe).fileName();
    return info;
}

bool matches(const ProcessInfo& p, const QStringList& names)
{
    for (const QString& name : names) {
        if (name.isEmpty())
            continue;
        // The command name is cut to 15 characters by the kernel.
        if (p.command == name.left(15) || p.exe == name)
            return true;
    }
    return false;
}

int pidfdOpen(pid_t pid) { return int(::syscall(SYS_pidfd_open, pid, 0)); }
int pidfdSignal(int fd, int sig) { return int(::syscall(SYS_pidfd_send_signal, fd, sig, nullptr, 0)); }

}  // namespace

namespace RunningBrowsers {

QStringList processNamesFor(const BrowerObj& browser)
{
    QStringList names;
    const QString& n = browser.browserKey.isEmpty() ? browser.name : browser.browserKey;
    if (n.contains(QLatin1String("Google Chrome")))
        names << "chrome" << "google-chrome" << "google-chrome-stable" << "google-chrome-beta"
              << "google-chrome-unstable";
    if (n.contains(QLatin1String("Firefox")))
        names << "firefox" << "firefox-esr" << "firefox-bin";
    if (n.contains(QLatin1String("Opera")))
        names << "opera" << "opera-stable";
    const QString program = QFileInfo(browser.execProgram).fileName();
    // A launcher such as "env" or "flatpak" would match far too much.
    if (!program.isEmpty() && program != QLatin1String("env") && program != QLatin1String("flatpak")
        && !names.contains(program))
        names << program;
    return names;
}

QList<pid_t> find(uid_t uid, const QStringList& names, const QString& procRoot)
{
    QHash<pid_t, ProcessInfo> mine;
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool ok = false;
        const pid_t pid = pid_t(entry.toLong(&ok));
        if (!ok || pid <= 0)
            continue;
        const auto info = readProcess(procRoot, pid);
        // A browser that has exited but not been collected runs no more.
        if (info && !info->zombie && info->realUid == uid && matches(*info, names))
            mine.insert(pid, *info);
    }
    QList<pid_t> main;
    for (const ProcessInfo& p : std::as_const(mine))
        if (!mine.contains(p.parent))
            main << p.pid;
    std::sort(main.begin(), main.end());
    return main;
}

bool isRunning(pid_t pid, uid_t uid, const QStringList& names, const QString& procRoot)
{
    const auto info = readProcess(procRoot, pid);
    return info && !info->zombie && info->realUid == uid && matches(*info, names);
}

QList<pid_t> close(const QList<pid_t>& pids, uid_t uid, const QStringList& names, int timeoutMs)
{
    struct Handle
    {
        pid_t pid;
        int fd;
    };
    std::vector<Handle> waiting;
    for (pid_t pid : pids) {
        const int fd = pidfdOpen(pid);
        if (fd < 0)
            continue;  // already gone
        // Checked after the handle is held: from here on the number cannot
        // pass to another process.
        const auto info = readProcess(QStringLiteral("/proc"), pid);
        if (!info || info->realUid != uid || !matches(*info, names)) {
            ::close(fd);
            continue;
        }
        if (pidfdSignal(fd, SIGTERM) != 0 && errno != ESRCH) {
            platform::log(QStringLiteral("cannot ask process %1 to quit: %2").arg(pid).arg(qt_error_string(errno)));
        }
        waiting.push_back({pid, fd});
    }

    QElapsedTimer clock;
    clock.start();
    while (!waiting.empty()) {
        std::vector<pollfd> fds;
        for (const Handle& h : waiting)
            fds.push_back({h.fd, POLLIN, 0});
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            break;
        const int n = ::poll(fds.data(), nfds_t(fds.size()), int(left));
        if (n < 0 && errno != EINTR)
            break;
        std::vector<Handle> still;
        for (size_t i = 0; i < waiting.size(); ++i) {
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                ::close(waiting[i].fd);
            else
                still.push_back(waiting[i]);
        }
        waiting.swap(still);
    }
    QList<pid_t> running;
    for (const Handle& h : waiting) {
        running << h.pid;
        ::close(h.fd);
        platform::log(QStringLiteral("process %1 did not quit in time").arg(h.pid));
    }
    return running;
}

}  // namespace RunningBrowsers
