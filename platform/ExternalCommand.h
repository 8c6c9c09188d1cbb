#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform {

// What a finished child process left behind.
struct CommandResult
{
    bool started = false;   // false: the program could not be run at all
    bool timedOut = false;  // killed after the time-out
    int exitCode = -1;      // -1 when it did not exit normally
    QByteArray output;      // standard output
    QByteArray errors;      // standard error

    bool ok() const { return started && !timedOut && exitCode == 0; }
};

// The one way the program runs another: a program and its argument vector,
// never a shell line, so no argument is ever interpreted. Blocks until the
// child ends (or `timeoutMs` passes, -1 for none); usable on any thread.
// `environment` adds or replaces "NAME=value" entries of the inherited one.
CommandResult runCommand(const QString& program, const QStringList& arguments, int timeoutMs = -1,
                         const QByteArray& input = {}, const QStringList& environment = {});

}  // namespace platform
