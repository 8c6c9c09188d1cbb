#pragma once
#include "platform/InvokingUser.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// Opening web addresses and files, and revealing items in the file manager,
// for the person at the desktop. The main program runs as root, but what it
// starts here always runs as the invoking user, in that user's session,
// never as root. This is the one place that does so.

// A program to start and its arguments.
struct OpenCommand
{
    QString program;
    QStringList arguments;
};

// Only absolute http and https addresses are opened; anything else (file:,
// javascript:, a bare word, an argument that looks like an option) is refused.
bool isOpenableWebUrl(const QString& url);

// `command` (program first) wrapped so that it runs as `user`: when the
// process is root it goes through runuser with that user's session
// environment and nothing else inherited from root. Nothing when the process
// is root and there is no unprivileged user to run it as.
std::optional<OpenCommand> asUserCommand(const QStringList& command, const InvokingUser& user, bool processIsRoot,
                                         const QProcessEnvironment& environment);

// xdg-open on a web address; nothing when the address is refused.
std::optional<OpenCommand> openUrlCommand(const QString& url, const InvokingUser& user, bool processIsRoot,
                                          const QProcessEnvironment& environment);
// xdg-open on a local file or folder, given by its absolute path; nothing for
// a relative path (it could pass for an option) or an address.
std::optional<OpenCommand> openFileCommand(const QString& path, const InvokingUser& user, bool processIsRoot,
                                           const QProcessEnvironment& environment);
// The file manager's "show this item selected" over the session bus.
std::optional<OpenCommand> revealCommand(const QString& path, const InvokingUser& user, bool processIsRoot,
                                         const QProcessEnvironment& environment);

// Each starts its command without waiting for it to finish. False (and a log
// line) when the target is refused or the command cannot be started.
bool openUrl(const QString& url);
bool openFile(const QString& path);
// An absolute path is opened as a file, anything else as a web address.
bool openUrlOrFile(const QString& target);
// When no file manager answers on the bus, the folder holding `path` is
// opened instead.
bool revealInFileManager(const QString& path);

}  // namespace platform
