#pragma once
#include <QString>

// The log line that tells what is known of the volume holding a path the user
// chose, the same in both programs:
// "Result:%i Volume: %@, Removable:%i, W:%i, Unmountable:%i, Desc:%@, type:%@".
// The path is logged exactly as given; what is not known reads "(null)".
QString volumeLogLine(const QString& path);
