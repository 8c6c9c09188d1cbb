#pragma once
#include "inter/BrowerObj.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// Finding and closing the user's running browsers. Only processes whose real
// uid is the user's are ever looked at, and only a browser's main process
// (one whose parent is not the same browser) is asked to quit: it takes its
// helpers with it.
namespace RunningBrowsers {

// The command names a browser runs under: its own known names and the
// program its desktop entry starts.
QStringList processNamesFor(const BrowerObj& browser);

// The main processes in `procRoot` of `uid` whose command name or
// executable's name is one of `names`.
QList<pid_t> find(uid_t uid, const QStringList& names, const QString& procRoot = QStringLiteral("/proc"));

// Whether `pid` is a live process in `procRoot` of `uid` whose command name
// or executable's name is one of `names`.
bool isRunning(pid_t pid, uid_t uid, const QStringList& names, const QString& procRoot = QStringLiteral("/proc"));

// Asks each of `pids` to quit (SIGTERM through a process handle, so a number
// reused by another process is never signalled) and waits up to `timeoutMs`
// for them to exit. A process that is no longer the user's browser is left
// alone. Returns those still running.
QList<pid_t> close(const QList<pid_t>& pids, uid_t uid, const QStringList& names, int timeoutMs);

}  // namespace RunningBrowsers
