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
};
