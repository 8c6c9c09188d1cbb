#include "PreventSleep.h"

#include "platform/Log.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int kBusTimeoutMs = 5000;
}

PreventSleep::PreventSleep(QString name, QObject* parent) : QObject(parent), m_name(std::move(name))
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        tryScreenSaver();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("idle") << QStringLiteral("Tarnwick Vantoly") << m_name << QStringLiteral("block");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kBusTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        if (!reply.isError() && reply.value().isValid()) {
            m_fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
            if (m_fd >= 0) {
                platform::log(QStringLiteral("prevent sleep!"));
                emit finished(true);
                return;
            }
        }
        platform::log(QStringLiteral("cannot inhibit idle through logind: %1").arg(reply.error().message()));
        tryScreenSaver();
    });
}

PreventSleep::~PreventSleep()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_cookie != 0) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
            QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("UnInhibit"));
        call << m_cookie;
        QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
    }
}

void PreventSleep::tryScreenSaver()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        platform::log(QStringLiteral("cannot prevent display sleep: no system or session bus"));
        emit finished(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
    call << QStringLiteral("Tarnwick Vantoly") << m_name;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kBusTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<uint> reply = *w;
        if (!reply.isError() && reply.value() != 0) {
            m_cookie = reply.value();
            platform::log(QStringLiteral("prevent sleep!"));
            emit finished(true);
            return;
        }
        platform::log(QStringLiteral("cannot prevent display sleep: %1").arg(reply.error().message()));
        emit finished(false);
    });
}
