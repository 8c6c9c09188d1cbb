#include "platform/FileAttributes.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kLockFlags = FS_IMMUTABLE_FL | FS_APPEND_FL;

// Flags are read through a descriptor; O_NONBLOCK keeps a FIFO from blocking
// the open, O_NOFOLLOW keeps us on the named inode.
int openForFlags(const QString& path)
{
    return ::open(path.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
}

}  // namespace

bool isImmutable(const QString& path)
{
    const int fd = openForFlags(path);
    if (fd < 0)
        return false;
    int flags = 0;
    const bool locked = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & kLockFlags);
    ::close(fd);
    return locked;
}

bool clearImmutable(const QString& path)
{
    const int fd = openForFlags(path);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = true;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & kLockFlags)) {
        flags &= ~kLockFlags;
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

}  // namespace platform
