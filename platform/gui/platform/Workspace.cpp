#include "platform/Workspace.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <unistd.h>

namespace platform {

namespace {

// How long the file manager gets to answer a reveal before the folder is
// opened instead.
constexpr int kRevealReplyMs = 5000;

QProcessEnvironment currentEnvironment()
{
    return QProcessEnvironment::systemEnvironment();
}

bool processIsRoot()
{
    return ::geteuid() == 0;
}

bool isAbsoluteLocalPath(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) && !path.contains(QChar(0));
}

void quietOutput(QProcess& process)
{
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
}

bool startDetached(const std::optional<OpenCommand>& command, const QString& what)
{
    if (!command) {
        log(QStringLiteral("not opening \"%1\": refused, or no user to open it for").arg(what));
        return false;
    }
    QProcess process;
    process.setProgram(command->program);
    process.setArguments(command->arguments);
    quietOutput(process);
    if (!process.startDetached()) {
        log(QStringLiteral("cannot start %1 to open %2").arg(command->program, what));
        return false;
    }
    return true;
}

}  // namespace

bool isOpenableWebUrl(const QString& url)
{
    const QUrl u(url, QUrl::StrictMode);
    if (!u.isValid() || u.host().isEmpty())
        return false;
    const QString scheme = u.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

std::optional<OpenCommand> asUserCommand(const QStringList& command, const InvokingUser& user, bool processIsRoot,
                                         const QProcessEnvironment& environment)
{
    if (command.isEmpty())
        return std::nullopt;
    if (!processIsRoot)
        return OpenCommand{command.first(), command.mid(1)};
    if (user.uid == 0 || user.name.isEmpty())
        return std::nullopt;

    // A clean environment: only what a desktop session needs to find the
    // user's display and session bus, nothing inherited from root.
    const QString runtime = QStringLiteral("/run/user/%1").arg(user.uid);
    QStringList env{
        QStringLiteral("HOME=") + user.home,
        QStringLiteral("USER=") + user.name,
        QStringLiteral("LOGNAME=") + user.name,
        QStringLiteral("PATH=/usr/local/bin:/usr/bin:/bin"),
        QStringLiteral("XDG_RUNTIME_DIR=") + runtime,
    };
    const QString bus = environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    if (!bus.isEmpty() && !bus.contains(QLatin1String("/root")))
        env << QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + bus;
    else
        env << QStringLiteral("DBUS_SESSION_BUS_ADDRESS=unix:path=") + runtime + QStringLiteral("/bus");
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "LANG", "XDG_CURRENT_DESKTOP"}) {
        const QString value = environment.value(QString::fromLatin1(name));
        if (!value.isEmpty())
            env << QString::fromLatin1(name) + '=' + value;
    }
    if (!environment.contains(QStringLiteral("XAUTHORITY")) && QFileInfo::exists(user.home + "/.Xauthority"))
        env << QStringLiteral("XAUTHORITY=") + user.home + QStringLiteral("/.Xauthority");

    QStringList args{QStringLiteral("-u"), user.name, QStringLiteral("--"), QStringLiteral("env"), QStringLiteral("-i")};
    args << env << command;
    return OpenCommand{QStringLiteral("runuser"), args};
}

std::optional<OpenCommand> openUrlCommand(const QString& url, const InvokingUser& user, bool processIsRoot,
                                          const QProcessEnvironment& environment)
{
    if (!isOpenableWebUrl(url))
        return std::nullopt;
    const QString encoded = QString::fromLatin1(QUrl(url, QUrl::StrictMode).toEncoded());
    return asUserCommand({QStringLiteral("xdg-open"), encoded}, user, processIsRoot, environment);
}

std::optional<OpenCommand> openFileCommand(const QString& path, const InvokingUser& user, bool processIsRoot,
                                           const QProcessEnvironment& environment)
{
    if (!isAbsoluteLocalPath(path))
        return std::nullopt;
    return asUserCommand({QStringLiteral("xdg-open"), path}, user, processIsRoot, environment);
}

std::optional<OpenCommand> revealCommand(const QString& path, const InvokingUser& user, bool processIsRoot,
                                         const QProcessEnvironment& environment)
{
    if (!isAbsoluteLocalPath(path))
        return std::nullopt;
    const QString uri = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    return asUserCommand({QStringLiteral("dbus-send"), QStringLiteral("--session"), QStringLiteral("--print-reply"),
                          QStringLiteral("--reply-timeout=%1").arg(kRevealReplyMs),
                          QStringLiteral("--dest=org.freedesktop.FileManager1"), QStringLiteral("--type=method_call"),
                          QStringLiteral("/org/freedesktop/FileManager1"),
                          QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
                          QStringLiteral("array:string:") + uri, QStringLiteral("string:")},
                         user, processIsRoot, environment);
}

bool openUrl(const QString& url)
{
    return startDetached(openUrlCommand(url, invokingUser(), processIsRoot(), currentEnvironment()), url);
}

bool openFile(const QString& path)
{
    return startDetached(openFileCommand(path, invokingUser(), processIsRoot(), currentEnvironment()), path);
}

bool openUrlOrFile(const QString& target)
{
    return isAbsoluteLocalPath(target) ? openFile(target) : openUrl(target);
}

bool revealInFileManager(const QString& path)
{
    const auto command = revealCommand(path, invokingUser(), processIsRoot(), currentEnvironment());
    if (!command) {
        log(QStringLiteral("not revealing \"%1\": refused, or no user to reveal it for").arg(path));
        return false;
    }
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(command->program);
    process->setArguments(command->arguments);
    quietOutput(*process);
    const QString folder = QFileInfo(path).absolutePath();
    // No file manager on the bus: open the folder that holds the item.
    QObject::connect(process, &QProcess::finished, process, [process, folder](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0)
            openFile(folder);
        process->deleteLater();
    });
    process->start();
    if (!process->waitForStarted(5000)) {
        log(QStringLiteral("cannot start %1 to reveal %2; opening its folder").arg(command->program, path));
        process->deleteLater();
        return openFile(folder);
    }
    return true;
}

}  // namespace platform
