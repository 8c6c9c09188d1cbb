#include "platform/ExternalCommand.h"

#include <QProcess>

namespace platform {

CommandResult runCommand(const QString& program, const QStringList& arguments, int timeoutMs,
                         const QByteArray& input)
{
    CommandResult result;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.start();
    if (!process.waitForStarted(-1))
        return result;
    result.started = true;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        result.timedOut = true;
        process.kill();
        process.waitForFinished(-1);
    }
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    if (!result.timedOut && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    return result;
}

}  // namespace platform
