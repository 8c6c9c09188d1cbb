#pragma once
#include "Describe.h"

#include <QStringList>

#include <optional>

namespace diskutil {

// Exit statuses: 0 success, 1 the command failed, 2 the command line is
// wrong, 3 the device now holds another medium than the caller chose.
enum ExitStatus { Success = 0, Failure = 1, Usage = 2, MediumChanged = 3 };

// What the caller saw when it chose the device (from `info`): an acting
// command refuses a device that no longer matches.
struct Expectation
{
    std::optional<quint64> sequence;  // DiskSequence
    QString uuid;                     // VolumeUUID; empty: not checked
};

struct Invocation
{
    QString command;        // the command word
    QStringList arguments;  // what follows it
    Presentation presentation;
    Expectation expected;
};

// Reads one global option (the words before the command) into `inv`; false
// when it is not one or its value is malformed.
bool parseGlobalOption(const QString& option, Invocation& inv);

// Carries out one diskutil command (a subcommand word and its arguments);
// messages go to stdout, reasons for failure to stderr.
int dispatchCommand(const Invocation& invocation);

// The usage text.
QString usageText();

}  // namespace diskutil
