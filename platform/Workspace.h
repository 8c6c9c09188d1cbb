#pragma once
#include "platform/InvokingUser.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// How a web address is opened: the program to start and its arguments.
struct OpenCommand
{
    QString program;
    QStringList arguments;
};

// Only absolute http and https addresses are opened; anything else (file:,
// javascript:, a bare word, an argument that looks like an option) is refused.
bool isOpenableWebUrl(const QString& url);

// The browser runs as the person who started the program, never as root:
// when the process is root it goes through runuser with that user's session
// environment and nothing else. Nothing when there is no such user.
std::optional<OpenCommand> openUrlCommand(const QString& url, const InvokingUser& user, bool processIsRoot,
                                          const QProcessEnvironment& environment);

// Opens the address in the invoking user's browser without waiting. False
// (and a log line) when the address is refused or cannot be handed over.
bool openUrl(const QString& url);

}  // namespace platform
