#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

namespace platform {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter* center = [] {
        auto* c = new NotificationCenter;
        if (auto* app = QCoreApplication::instance())
            c->moveToThread(app->thread());
        return c;
    }();
    return *center;
}

void NotificationCenter::post(const QString& name, const QVariantMap& userInfo)
{
    if (QThread::currentThread() == thread()) {
        emit notified(name, userInfo);
        return;
    }
    QMetaObject::invokeMethod(this, [this, name, userInfo] { emit notified(name, userInfo); },
                              Qt::QueuedConnection);
}

QMetaObject::Connection NotificationCenter::observe(QObject* receiver, const QString& name,
                                                    std::function<void(const QVariantMap&)> handler)
{
    return connect(this, &NotificationCenter::notified, receiver,
                   [name, handler = std::move(handler)](const QString& posted, const QVariantMap& info) {
                       if (posted == name)
                           handler(info);
                   });
}

}  // namespace platform
