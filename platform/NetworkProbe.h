#pragma once
#include <QByteArray>
#include <QUrl>

#include <optional>

namespace platform {

// What one fetch came to: the body, or why there is none.
struct Fetched
{
    enum class Failure { None, BadAddress, Unreachable, TimedOut, HttpError, TooLarge, Unreadable };
    std::optional<QByteArray> body;
    Failure failure = Failure::None;
    int httpStatus = 0;  // for HttpError
};

// fetchUrl with the reason of a failure.
Fetched fetch(const QUrl& url, int timeoutMs, qint64 maxBytes = 1 << 20);

// One synchronous GET that bypasses caches. Blocks for up to `timeoutMs`, so
// callers run it off the main thread. Gives the body (at most `maxBytes`),
// or nothing on a failure, a time-out or an oversized answer.
std::optional<QByteArray> fetchUrl(const QUrl& url, int timeoutMs, qint64 maxBytes = 1 << 20);

// True when any data came back.
bool probeUrl(const QUrl& url, int timeoutMs = 5000);

}  // namespace platform
