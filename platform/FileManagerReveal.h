#pragma once
#include <QString>
#include <QStringList>

namespace platform {

// Opening and revealing for the person at the desktop. The main program runs
// as root, but what it opens must run as the invoking user, in that user's
// session, never as root.

// The program and arguments that open `target` (a path or an address).
QStringList openCommand(const QString& target);
// The program and arguments that ask the file manager to show `path` selected.
QStringList revealCommand(const QString& path);

// Starts the command as the invoking user and does not wait. False when it
// could not be started.
bool runAsInvokingUser(const QStringList& command);

// `xdg-open` on a path or an address.
bool openAsInvokingUser(const QString& target);
// The file manager's reveal over the user's session bus; when no file
// manager answers it, the folder holding `path` is opened instead.
bool revealAsInvokingUser(const QString& path);

}  // namespace platform
