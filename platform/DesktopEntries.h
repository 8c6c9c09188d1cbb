#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// One application as the desktop announces it: an XDG desktop entry of
// Type=Application. This is what stands in for an application bundle.
struct DesktopEntry
{
    QString id;         // desktop ID: the path below its root, '/' -> '-' ("org.foo.App.desktop")
    QString file;       // the entry file that won for this ID
    QString root;       // the applications folder it was found in
    QString name;       // Name (the unlocalised one)
    QString icon;       // Icon: a theme name or an absolute path, may be empty
    QString exec;       // Exec, unescaped, field codes left in
    QString tryExec;    // TryExec, may be empty
    QString flatpakId;  // X-Flatpak, empty for anything not installed by Flatpak
    bool hidden = false;     // Hidden=true: the entry counts as deleted
    bool noDisplay = false;  // NoDisplay=true: not meant for menus
    bool isApplication = false;

    // The program Exec starts, without arguments or a leading "env VAR=..".
    QString execProgram() const;
    // The program as Exec names it, then its arguments (field codes kept),
    // after a leading "env VAR=..".
    QStringList execCommand() const;
    // The desktop ID without ".desktop".
    QString baseId() const;
};

// Reads the [Desktop Entry] group of one file; empty when it has none.
std::optional<DesktopEntry> readDesktopEntry(const QString& file);

// The applications shown to a user from `roots`, given in precedence order
// (the user's own folder first): one entry per desktop ID, the first root's
// entry winning even when it hides or removes the application. Entries that are
// Hidden, NoDisplay, not of Type=Application, or whose TryExec program is
// missing are left out. Folders are walked below each root; links are followed
// but a folder is never entered twice, so a link loop ends. Sorted by ID.
QList<DesktopEntry> scanDesktopEntries(const QStringList& roots);

// The applications folders of the user whose home is `home`, in precedence
// order: the user's own, the user's and the system's Flatpak exports, then
// /usr/local/share and /usr/share.
QStringList applicationRootsFor(const QString& home);

}  // namespace platform
