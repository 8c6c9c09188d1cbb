#include "platform/WriteAsUser.h"

#include "platform/FileSystemUser.h"

#include <QFile>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

bool writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Writes `name` in the open folder `dir` under a fresh name and renames it
// into place. 0, or the errno that stopped it.
int replaceAt(int dir, const QByteArray& name, const QByteArray& data)
{
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", unsigned(::arc4random()));
        temp = '.' + name.left(200) + suffix;
        fd = ::openat(dir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return errno;
    int err = writeAll(fd, data) && ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    if (err == 0 && ::renameat(dir, temp.constData(), dir, name.constData()) != 0)
        err = errno;
    if (err != 0) {
        ::unlinkat(dir, temp.constData(), 0);
        return err;
    }
    ::fsync(dir);
    return 0;
}

}  // namespace

bool writeFileAsUser(const QString& path, const QByteArray& data, uid_t uid, gid_t gid, QString* error)
{
    const QByteArray p = QFile::encodeName(path);
    const qsizetype slash = p.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : p.left(slash);
    const QByteArray name = p.mid(slash + 1);
    int err = 0;
    if (name.isEmpty() || name == "." || name == "..") {
        err = EISDIR;
    } else {
        FileSystemUser as(uid, gid);
        if (!as.ok()) {
            err = EPERM;
        } else if (const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir < 0) {
            err = errno;
        } else {
            err = replaceAt(dir, name, data);
            ::close(dir);
        }
    }
    if (err != 0 && error)
        *error = QString::fromLocal8Bit(std::strerror(err));
    return err == 0;
}

}  // namespace platform
