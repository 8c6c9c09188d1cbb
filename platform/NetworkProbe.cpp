#include "platform/NetworkProbe.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace platform {

Fetched fetch(const QUrl& url, int timeoutMs, qint64 maxBytes)
{
    using Failure = Fetched::Failure;
    Fetched out;
    if (!url.isValid()) {
        out.failure = Failure::BadAddress;
        return out;
    }
    if (url.isLocalFile()) {
        QFile f(url.toLocalFile());
        if (!f.open(QIODevice::ReadOnly))
            out.failure = Failure::Unreadable;
        else if (f.size() > maxBytes)
            out.failure = Failure::TooLarge;
        else
            out.body = f.readAll();
        return out;
    }
    // A private manager and loop per call: this runs on worker threads, each
    // of which needs its own.
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    bool tooLarge = false;
    bool timedOut = false;
    QObject::connect(&deadline, &QTimer::timeout, reply, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [&](qint64 received, qint64) {
        if (received > maxBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    deadline.start(timeoutMs);
    loop.exec();
    const QNetworkReply::NetworkError error = reply->error();
    out.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (tooLarge)
        out.failure = Failure::TooLarge;
    else if (timedOut || error == QNetworkReply::TimeoutError || error == QNetworkReply::OperationCanceledError)
        out.failure = Failure::TimedOut;  // the transfer timeout cancels the reply too
    else if (error == QNetworkReply::NoError && (out.httpStatus == 0 || out.httpStatus < 300))
        out.body = reply->readAll();
    else if (out.httpStatus >= 300)
        out.failure = Failure::HttpError;
    else
        out.failure = Failure::Unreachable;
    reply->deleteLater();
    return out;
}

std::optional<QByteArray> fetchUrl(const QUrl& url, int timeoutMs, qint64 maxBytes)
{
    return fetch(url, timeoutMs, maxBytes).body;
}

bool probeUrl(const QUrl& url, int timeoutMs)
{
    const auto body = fetchUrl(url, timeoutMs);
    return body && !body->isEmpty();
}

}  // namespace platform
