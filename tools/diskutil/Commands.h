#pragma once
#include "Describe.h"

#include <QStringList>

namespace diskutil {

// Exit statuses: 0 success, 1 the command failed, 2 the command line is wrong.
enum ExitStatus { Success = 0, Failure = 1, Usage = 2 };

struct Invocation
{
    QString command;        // the command word
    QStringList arguments;  // what follows it
    Presentation presentation;
};

// Carries out one diskutil command (a subcommand word and its arguments);
// messages go to stdout, reasons for failure to stderr.
int dispatchCommand(const Invocation& invocation);

// The usage text.
QString usageText();

}  // namespace diskutil
