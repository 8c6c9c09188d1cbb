#pragma once
#include <QString>

namespace platform {

// One free-form line to the system log, and to stderr when a terminal is
// attached, so a user running the program by hand sees what it logs.
void log(const QString& line);

}  // namespace platform
