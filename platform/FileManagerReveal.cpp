#include "platform/FileManagerReveal.h"

#include "platform/InvokingUser.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <grp.h>
#include <unistd.h>

namespace platform {

namespace {

// The session of the invoking user: its runtime folder and bus, found the
// way a login sets them, since root's environment has neither.
QProcessEnvironment userEnvironment(const InvokingUser& user)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString runtime = QStringLiteral("/run/user/%1").arg(user.uid);
    env.insert(QStringLiteral("HOME"), user.home);
    env.insert(QStringLiteral("USER"), user.name);
    env.insert(QStringLiteral("LOGNAME"), user.name);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=%1/bus").arg(runtime));
    return env;
}

}  // namespace

QStringList openCommand(const QString& target)
{
    return {QStringLiteral("xdg-open"), target};
}

QStringList revealCommand(const QString& path)
{
    const QString uri = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    return {QStringLiteral("dbus-send"), QStringLiteral("--session"), QStringLiteral("--print-reply"),
            QStringLiteral("--dest=org.freedesktop.FileManager1"), QStringLiteral("--type=method_call"),
            QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
            QStringLiteral("array:string:") + uri, QStringLiteral("string:")};
}

namespace {

QProcess* startAsInvokingUser(const QStringList& command)
{
    if (command.isEmpty())
        return nullptr;
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(command.first());
    process->setArguments(command.mid(1));
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->setStandardInputFile(QProcess::nullDevice());
    if (::geteuid() == 0) {
        const InvokingUser user = invokingUser();
        if (user.uid == 0) {
            log(QStringLiteral("no desktop user to open %1 for").arg(command.join(QLatin1Char(' '))));
            delete process;
            return nullptr;
        }
        process->setProcessEnvironment(userEnvironment(user));
        const QByteArray name = user.name.toLocal8Bit();
        const uid_t uid = user.uid;
        const gid_t gid = user.gid;
        // Drops to the user in the child before the program runs; if any
        // step fails the child ends rather than run as root.
        process->setChildProcessModifier([name, uid, gid] {
            if (::initgroups(name.constData(), gid) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(127);
        });
    }
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            process->deleteLater();
    });
    process->start();
    return process;
}

}  // namespace

bool runAsInvokingUser(const QStringList& command)
{
    QProcess* process = startAsInvokingUser(command);
    if (!process)
        return false;
    const bool started = process->waitForStarted(5000);
    if (!started)
        log(QStringLiteral("cannot start %1").arg(command.first()));
    return started;
}

bool openAsInvokingUser(const QString& target)
{
    return runAsInvokingUser(openCommand(target));
}

bool revealAsInvokingUser(const QString& path)
{
    QProcess* process = startAsInvokingUser(revealCommand(path));
    if (!process)
        return false;
    const QString folder = QFileInfo(path).absolutePath();
    // No file manager on the bus: open the folder that holds the item.
    QObject::connect(process, &QProcess::finished, [folder](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0)
            openAsInvokingUser(folder);
    });
    return process->waitForStarted(5000);
}

}  // namespace platform
