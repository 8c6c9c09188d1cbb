#pragma once
#include <QByteArray>
#include <QUrl>

#include <optional>

namespace platform {

// One synchronous GET that bypasses caches. Blocks for up to `timeoutMs`, so
// callers run it off the main thread. Gives the body (at most `maxBytes`),
// or nothing on a failure, a time-out or an oversized answer.
std::optional<QByteArray> fetchUrl(const QUrl& url, int timeoutMs, qint64 maxBytes = 1 << 20);

// True when any data came back.
bool probeUrl(const QUrl& url, int timeoutMs = 5000);

}  // namespace platform
