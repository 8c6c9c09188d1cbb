#pragma once
#include <QObject>
#include <QString>

class QLocalServer;

namespace platform {

// One running instance per state folder. The first process takes an
// exclusive flock on a lock file (atomic, released by the kernel when the
// process dies, so a crash never leaves a stale claim) and listens on a local
// socket; a later process fails the lock, asks the first one over the socket
// to come forward, and leaves.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // `folder` holds the lock file and the socket.
    SingleInstance(QString folder, QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process now owns the instance (or the folder cannot hold
    // a lock at all, in which case running is better than refusing). False when
    // another process owns it; that process has been asked to come forward.
    bool claim();

    QString lockPath() const;
    QString socketPath() const;

signals:
    // Another launch asked this instance to come to the front.
    void activationRequested();

private:
    void listen();
    bool askOwnerToActivate() const;

    QString m_folder;
    QString m_name;
    int m_lockFd = -1;
    QLocalServer* m_server = nullptr;
};

}  // namespace platform
