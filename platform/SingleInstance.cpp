#include "platform/SingleInstance.h"

#include "platform/Log.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr char kActivate[] = "activate\n";
// sun_path holds 108 bytes; keep well inside it.
constexpr int kMaxSocketPath = 100;
}  // namespace

SingleInstance::SingleInstance(QString folder, QString name, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)), m_name(std::move(name))
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString SingleInstance::lockPath() const
{
    return m_folder + '/' + m_name + QStringLiteral(".lock");
}

QString SingleInstance::socketPath() const
{
    const QString inFolder = m_folder + '/' + m_name + QStringLiteral(".sock");
    if (inFolder.toLocal8Bit().size() <= kMaxSocketPath)
        return inFolder;
    // A deep prefix: name the socket after the folder in the temporary directory.
    const QByteArray hash = QCryptographicHash::hash(m_folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir::tempPath() + '/' + m_name + '-' + QString::fromLatin1(hash) + QStringLiteral(".sock");
}

bool SingleInstance::claim()
{
    if (m_lockFd >= 0)
        return true;
    QDir().mkpath(m_folder);
    const QByteArray path = lockPath().toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        log(QStringLiteral("single instance: cannot open %1: %2").arg(lockPath(), QString::fromLocal8Bit(std::strerror(errno))));
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_lockFd = fd;
        listen();
        return true;
    }
    const int err = errno;
    ::close(fd);
    if (err != EWOULDBLOCK) {
        log(QStringLiteral("single instance: cannot lock %1: %2").arg(lockPath(), QString::fromLocal8Bit(std::strerror(err))));
        return true;
    }
    if (!askOwnerToActivate())
        log(QStringLiteral("single instance: the running instance did not answer"));
    return false;
}

void SingleInstance::listen()
{
    // Holding the lock proves any socket file left behind is stale.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath())) {
        log(QStringLiteral("single instance: cannot listen on %1: %2").arg(socketPath(), m_server->errorString()));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = m_server->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                // Bounded: only the one short request is ever expected.
                if (s->readAll().startsWith(QByteArray(kActivate).trimmed()))
                    emit activationRequested();
                s->disconnectFromServer();
            });
        }
    });
}

bool SingleInstance::askOwnerToActivate() const
{
    // The owner may hold the lock a moment before it listens.
    for (int attempt = 0; attempt < 10; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(200)) {
            socket.write(kActivate);
            const bool sent = socket.waitForBytesWritten(500);
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(100);
    }
    return false;
}

}  // namespace platform
