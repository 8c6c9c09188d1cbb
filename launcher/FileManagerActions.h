#pragma once
#include <QString>
#include <QStringList>

// The "Erase with Tarnwick Vantoly" action of the file managers, installed
// into the user's own folders from the templates in share/. Each runs
// `brisklaunch <path> --service`.
namespace FileManagerActions {

// How the launcher's path is written into a template.
enum class Quoting {
    DesktopExec,  // a quoted Exec argument of a desktop entry (service menus)
    ShellWord,    // one single-quoted word for GLib's command-line parsing or sh
    ShellWordInKeyFile,  // ShellWord, then escaped as a key-file string value
};

struct Action
{
    QString templateName;  // file in share/
    QString destination;   // below the user's home
    Quoting quoting;
    bool executable;
};

const QList<Action>& actions();

// The launcher's path as it must appear in a template.
QString quoted(const QString& launcherPath, Quoting quoting);

// Installs every action missing below `home`; an existing one (whatever it
// holds) is never replaced. Returns the files written.
QStringList installMissing(const QString& home, const QString& templatesDir, const QString& launcherPath);

}  // namespace FileManagerActions
