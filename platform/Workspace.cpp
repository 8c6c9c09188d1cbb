#include "platform/Workspace.h"

#include "platform/Log.h"

#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <unistd.h>

namespace platform {

bool isOpenableWebUrl(const QString& url)
{
    const QUrl u(url, QUrl::StrictMode);
    if (!u.isValid() || u.host().isEmpty())
        return false;
    const QString scheme = u.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

std::optional<OpenCommand> openUrlCommand(const QString& url, const InvokingUser& user, bool processIsRoot,
                                          const QProcessEnvironment& environment)
{
    if (!isOpenableWebUrl(url))
        return std::nullopt;
    const QString encoded = QString::fromLatin1(QUrl(url, QUrl::StrictMode).toEncoded());
    if (!processIsRoot)
        return OpenCommand{QStringLiteral("xdg-open"), {encoded}};
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
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "LANG"}) {
        const QString value = environment.value(QString::fromLatin1(name));
        if (!value.isEmpty())
            env << QString::fromLatin1(name) + '=' + value;
    }
    if (!environment.contains(QStringLiteral("XAUTHORITY")) && QFileInfo::exists(user.home + "/.Xauthority"))
        env << QStringLiteral("XAUTHORITY=") + user.home + QStringLiteral("/.Xauthority");

    QStringList args{QStringLiteral("-u"), user.name, QStringLiteral("--"), QStringLiteral("env"), QStringLiteral("-i")};
    args << env << QStringLiteral("xdg-open") << encoded;
    return OpenCommand{QStringLiteral("runuser"), args};
}

bool openUrl(const QString& url)
{
    const auto command =
        openUrlCommand(url, invokingUser(), ::geteuid() == 0, QProcessEnvironment::systemEnvironment());
    if (!command) {
        log(QStringLiteral("not opening \"%1\": not a web address, or no user to open it for").arg(url));
        return false;
    }
    if (!QProcess::startDetached(command->program, command->arguments)) {
        log(QStringLiteral("cannot start %1 to open %2").arg(command->program, url));
        return false;
    }
    return true;
}

}  // namespace platform
