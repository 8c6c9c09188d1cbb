#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

// Starts the main program as root: through pkexec for a user, directly when
// the launcher already is root. Returns without waiting for the program.
class RunScript
{
public:
    // Starts `program` with `arguments` (never through a shell). Returns 0
    // once the program runs, otherwise a non-zero status.
    using Runner = std::function<int32_t(const QString& program, const QStringList& arguments)>;

    // The one argument the main program is handed, and never reads.
    static QString loaderFlag();

    static int32_t RunTool(const QString& path);
    // `runner` starts pkexec (or, as root, the program itself).
    static int32_t RunTool(const QString& path, bool asRoot, const Runner& runner);

    // Runs pkexec as our own child: pkexec refuses a caller that has already
    // gone, so we stay until it has either replaced itself with the program
    // (authorised) or ended (refused: its status).
    static int32_t runPrivileged(const QString& program, const QStringList& arguments);
    static int32_t runDetached(const QString& program, const QStringList& arguments);

    static QString pkexecPath();

    // Statuses of a start that did not happen, beside pkexec's own 126
    // (the request was dismissed) and 127 (not authorised).
    static constexpr int32_t kNotStarted = 1;   // pkexec (or the program) could not be run
    static constexpr int32_t kNoProgram = 2;    // the main program is missing or not executable
    static constexpr int32_t kNoAgent = 3;      // refused at once, with no agent to ask the user
    static constexpr int32_t kEndedEarly = 4;   // the main program ended with a failure right away
    // How long after the hand-over the main program is watched for an early end.
    static constexpr int kEarlyEndMs = 8000;

    // The one sentence the user is shown for a non-zero status.
    static QString failureSentence(int32_t status);
};
