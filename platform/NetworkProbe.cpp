#include "platform/NetworkProbe.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace platform {

std::optional<QByteArray> fetchUrl(const QUrl& url, int timeoutMs, qint64 maxBytes)
{
    if (!url.isValid())
        return std::nullopt;
    if (url.isLocalFile()) {
        QFile f(url.toLocalFile());
        if (!f.open(QIODevice::ReadOnly) || f.size() > maxBytes)
            return std::nullopt;
        return f.readAll();
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
    QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [&](qint64 received, qint64) {
        if (received > maxBytes) {
            tooLarge = true;
            reply->abort();
        }
    });
    deadline.start(timeoutMs);
    loop.exec();
    std::optional<QByteArray> body;
    if (!tooLarge && reply->error() == QNetworkReply::NoError)
        body = reply->readAll();
    reply->deleteLater();
    return body;
}

bool probeUrl(const QUrl& url, int timeoutMs)
{
    const auto body = fetchUrl(url, timeoutMs);
    return body && !body->isEmpty();
}

}  // namespace platform
