#pragma once
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace platform {

// A process-wide notification centre: a name and a user-info dictionary,
// delivered on the main thread to every observer of that name.
class NotificationCenter : public QObject
{
    Q_OBJECT
public:
    static NotificationCenter& defaultCenter();

    // Safe from any thread; observers run on the main thread.
    void post(const QString& name, const QVariantMap& userInfo = {});

    // The observer lives as long as `receiver`.
    QMetaObject::Connection observe(QObject* receiver, const QString& name,
                                    std::function<void(const QVariantMap&)> handler);

signals:
    void notified(const QString& name, const QVariantMap& userInfo);
};

}  // namespace platform
