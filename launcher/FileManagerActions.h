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

// Installs every action below `home` naming the launcher at `launcherPath`:
// a missing one is written, and one of ours that names another launcher (an
// install that moved or was updated) is replaced. A file that is not ours
// (the user's own, a link) is never touched. Returns the files written.
QStringList install(const QString& home, const QString& templatesDir, const QString& launcherPath);

}  // namespace FileManagerActions
