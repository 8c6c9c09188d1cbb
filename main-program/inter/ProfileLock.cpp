#include "inter/ProfileLock.h"

#include "inter/RunningBrowsers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

QString hostName()
{
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0)
        return {};
    return QString::fromLocal8Bit(buf);
}

// The text a link points to, raw; empty when `path` is not a link.
QString readLinkText(const QString& path)
{
    char buf[512] = {};
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buf, sizeof buf - 1);
    return n > 0 ? QString::fromLocal8Bit(buf, int(n)) : QString();
}

}  // namespace

bool lockLinkHeld(const QString& target)
{
    const qsizetype cut = target.lastIndexOf('-');
    if (cut <= 0)
        return false;
    bool ok = false;
    const qint64 pid = target.mid(cut + 1).toLongLong(&ok);
    if (!ok || pid <= 0)
        return false;
    if (target.left(cut) != hostName())
        return true;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

bool firefoxProfileLocked(const QString& profile, uid_t uid, const QStringList& names)
{
    if (profile.isEmpty())
        return false;
    const QString parent = QDir(profile).filePath(QStringLiteral(".parentlock"));
    const int fd = ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        struct flock probe{};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        // An open-file-description probe sees record locks of every process,
        // our own included.
        const bool held = ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
        ::close(fd);
        if (held)
            return true;
    }
    const QString target = readLinkText(QDir(profile).filePath(QStringLiteral("lock")));
    const qsizetype plus = target.lastIndexOf('+');
    if (plus < 0)
        return false;
    bool ok = false;
    const qint64 pid = target.mid(plus + 1).toLongLong(&ok);
    return ok && pid > 0 && RunningBrowsers::isRunning(pid_t(pid), uid, names);
}

bool chromiumProfileLocked(const QString& path, const QString& stop)
{
    const QString end = QDir::cleanPath(stop);
    QString folder = QFileInfo(QDir::cleanPath(path)).isDir() ? QDir::cleanPath(path) : QFileInfo(path).absolutePath();
    while (!folder.isEmpty() && folder != end && folder.startsWith(end + '/')) {
        const QString target = readLinkText(QDir(folder).filePath(QStringLiteral("SingletonLock")));
        if (!target.isEmpty() && lockLinkHeld(target))
            return true;
        folder = QFileInfo(folder).absolutePath();
    }
    return false;
}
