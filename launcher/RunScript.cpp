#include "RunScript.h"

#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QElapsedTimer>
#include <QThread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

namespace {

constexpr int32_t kNotStarted = RunScript::kNotStarted;
constexpr int32_t kNoProgram = RunScript::kNoProgram;
// pkexec's statuses: the request was dismissed, or not authorised.
constexpr int kDismissed = 126;
constexpr int kNotAuthorised = 127;
// Without an agent pkexec gives up at once; a password that was asked for
// and refused takes the authentication's own delay first.
constexpr qint64 kAtOnceMs = 1500;

QByteArray commandNameOf(pid_t pid)
{
    // comm stays readable after pkexec (set-uid) has changed credentials,
    // unlike /proc/<pid>/exe.
    QFile f(QStringLiteral("/proc/%1/comm").arg(pid));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}

}  // namespace

QString RunScript::loaderFlag()
{
    return QStringLiteral("en") + QStringLiteral("*loaderflag*");
}

QString RunScript::pkexecPath()
{
    const QString fixed = QStringLiteral("/usr/bin/pkexec");
    if (QFileInfo(fixed).isExecutable())
        return fixed;
    return QStandardPaths::findExecutable(QStringLiteral("pkexec"));
}

int32_t RunScript::RunTool(const QString& path)
{
    const bool asRoot = ::geteuid() == 0;
    return RunTool(path, asRoot, asRoot ? runDetached : runPrivileged);
}

int32_t RunScript::RunTool(const QString& path, bool asRoot, const Runner& runner)
{
    const QFileInfo program(path);
    if (!program.isAbsolute() || !program.isFile() || !program.isExecutable()) {
        platform::log(QStringLiteral("main program %1 missing or not executable").arg(path));
        return kNoProgram;
    }
    if (asRoot)
        return runner(path, {loaderFlag()});

    const QString pkexec = pkexecPath();
    if (pkexec.isEmpty()) {
        platform::log(QStringLiteral("pkexec not found: cannot start %1 as root").arg(path));
        return kNotStarted;
    }
    // The program itself, not a wrapper: the shipped policy names it, and its
    // allow_gui keeps DISPLAY and XAUTHORITY, which is all a window needs.
    const QStringList args{path, loaderFlag()};
    const int32_t status = runner(pkexec, args);
    if (status != 0)
        platform::log(QStringLiteral("%1 not started as root: status %2").arg(path).arg(status));
    return status;
}

int32_t RunScript::runDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments) ? 0 : kNotStarted;
}

int32_t RunScript::runPrivileged(const QString& program, const QStringList& arguments)
{
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString& a : arguments)
        storage.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    // Right after the spawn the child may still carry our own name: the
    // kernel names it only late in the exec.
    const QByteArray ownName = commandNameOf(::getpid());
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return kNotStarted;

    // posix_spawn returns once pkexec runs; it asks for the password, then
    // replaces itself with the program. A changed command name means it did.
    QElapsedTimer clock;
    clock.start();
    const QByteArray pkexecName = QFileInfo(program).fileName().toLocal8Bit().left(15);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (!WIFEXITED(status))
                return kNotStarted;
            const int code = WEXITSTATUS(status);
            // With no terminal pkexec has no agent of its own to fall back on.
            if (code == kNotAuthorised && clock.elapsed() < kAtOnceMs && !::isatty(STDIN_FILENO))
                return kNoAgent;
            return code;
        }
        if (done < 0)
            return kNotStarted;
        const QByteArray name = commandNameOf(pid);
        if (!name.isEmpty() && name != pkexecName && name != ownName)
            break;
        QThread::msleep(50);
    }

    // Handed over. A program that cannot open its window (no display, a
    // missing library) ends at once with a failure: watch it for a while, so
    // that this too is said rather than nothing happening.
    clock.restart();
    while (clock.elapsed() < kEarlyEndMs) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : kEndedEarly;
        if (done < 0)
            return 0;
        QThread::msleep(50);
    }
    return 0;
}

QString RunScript::failureSentence(int32_t status)
{
    switch (status) {
    case 0:
        return QString();
    case kDismissed:
    case kNotAuthorised:
        return QStringLiteral("Administrator rights were not given, so Tarnwick Vantoly did not start.");
    case kNoAgent:
        return QStringLiteral("No authentication agent is running: start your desktop's authentication agent, or run "
                              "brisklaunch from a terminal, so that Tarnwick Vantoly can ask for administrator rights.");
    case kNoProgram:
        return QStringLiteral("The main program of Tarnwick Vantoly is missing, so it did not start; install the "
                              "package again.");
    case kEndedEarly:
        return QStringLiteral("Tarnwick Vantoly ended before its window opened; run brisklaunch in a terminal to see why.");
    default:
        return QStringLiteral("pkexec could not be run, so Tarnwick Vantoly did not start.");
    }
}
