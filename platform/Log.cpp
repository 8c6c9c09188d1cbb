#include "platform/Log.h"

#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace platform {

void log(const QString& line)
{
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("tarnwick-vantoly", LOG_PID, LOG_USER); });
    const QByteArray text = line.toUtf8();
    syslog(LOG_NOTICE, "%s", text.constData());
    if (isatty(STDERR_FILENO))
        std::fprintf(stderr, "%s\n", text.constData());
}

}  // namespace platform
