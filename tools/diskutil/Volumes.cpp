#include "Volumes.h"

#include "InUse.h"

#include "platform/ExternalCommand.h"
#include "platform/MountTable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace diskutil {

namespace {

bool isMountPoint(const QString& path)
{
    for (const platform::MountEntry& m : platform::readMountTable())
        if (m.mountPoint == path)
            return true;
    return false;
}

// An existing folder is reused only when it is empty and nothing is mounted
// there or below it, in this mount namespace or any other: a name is never
// shared by two volumes, and another namespace's mount is never hidden.
bool folderIsFree(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    if (!info.isDir() || info.isSymLink())
        return false;
    if (!QDir(path).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        return false;
    return !mountedAtOrBelowAnywhere(path);
}

// Removes a folder made for a mount, unless it is a mount point (or holds
// one) in any mount namespace: since Linux 3.18 removing it would detach
// those mounts, and another namespace's files with them.
void removeMountFolder(const QString& path)
{
    if (!mountedAtOrBelowAnywhere(path))
        QDir().rmdir(path);
}

// Holds an exclusive lock on the volumes root while a folder is chosen and
// mounted, so two diskutil runs never pick the same folder.
class RootLock
{
public:
    explicit RootLock(const QString& root)
    {
        m_fd = ::open(root.toUtf8().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX);
    }
    ~RootLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);  // closing releases the lock
    }

private:
    int m_fd = -1;
};

}  // namespace

QString volumesRoot() { return QStringLiteral("/media"); }

QString folderNameFor(const QString& volumeName)
{
    QString name = volumeName;
    name.replace('/', ':');
    // Control characters make a folder name that terminals and file
    // managers show wrongly or act on: left out.
    name.removeIf([](QChar c) { return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0); });
    if (name.trimmed().isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("Untitled");
    return name;
}

QString helperReason(const QByteArray& text, const QString& program, const QStringList& args)
{
    // The last line says why; the ones before it tell what the tool was doing.
    const QStringList lines = QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
    QString why;
    for (auto it = lines.rbegin(); it != lines.rend() && why.isEmpty(); ++it)
        why = it->trimmed();
    // Tools start with their own name and the path they were given, which
    // the caller's sentence already names ("umount: /media/X: target is busy").
    const QString name = QFileInfo(program).fileName();
    for (bool cut = true; cut;) {
        cut = false;
        for (const QString& prefix : QStringList{program, name} + args) {
            if (!prefix.isEmpty() && why.startsWith(prefix + QStringLiteral(": "))) {
                why = why.mid(prefix.size() + 2).trimmed();
                cut = true;
            }
        }
    }
    while (why.endsWith('.'))
        why.chop(1);
    return why;
}

bool runHelper(const QString& program, const QStringList& args, QString* error, int timeoutMs, QByteArray* output)
{
    const QString path = findProgram(program);
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 is not installed").arg(program);
        return false;
    }
    const platform::CommandResult r = platform::runCommand(path, args, timeoutMs);
    if (output)
        *output = r.output;
    if (r.ok())
        return true;
    if (error) {
        if (r.timedOut)
            *error = QStringLiteral("%1 timed out").arg(program);
        else if (!r.started)
            *error = QStringLiteral("%1 could not be started").arg(program);
        else if (const QString why = helperReason(r.errors.trimmed().isEmpty() ? r.output : r.errors, program, args);
                 !why.isEmpty())
            *error = why;
        else
            *error = QStringLiteral("%1 ended with status %2").arg(program).arg(r.exitCode);
    }
    return false;
}

bool runHelperWhenFree(const QString& program, const QStringList& args, QString* error, int timeoutMs)
{
    QString why;
    for (int attempt = 0;; ++attempt) {
        if (runHelper(program, args, &why, timeoutMs))
            return true;
        const bool locked = why.contains(QLatin1String("temporarily unavailable")) || why.contains(QLatin1String("busy"));
        if (!locked || attempt >= 15)
            break;
        QThread::msleep(200);
    }
    if (error)
        *error = why;
    return false;
}

bool mountVolume(const BlockDevice& device, QString* mountPoint, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const FileSystem* fs = fileSystemForProbe(device.probe.fsType, device.probe.fsVersion);
    QString kernelType = fs ? fs->kernelDriver : device.probe.fsType;
    if (device.probe.fsType.isEmpty() || (!fs && device.probe.usage != QLatin1String("filesystem")))
        return fail(QStringLiteral("%1 holds no file system that can be mounted").arg(device.name));

    const bool useKernel = !kernelType.isEmpty() && kernelHasDriver(kernelType);
    const bool useFuse = !useKernel && fs && !fs->fuseDriver.isEmpty();
    if (!useKernel && !useFuse)
        return fail(QStringLiteral("%1 cannot be mounted: this system has no driver for %2")
                        .arg(device.name, fs ? fs->name : device.probe.fsType));
    if (useFuse && findProgram(fs->fuseDriver).isEmpty())
        return fail(QStringLiteral("%1 cannot be mounted: the kernel has no %2 driver and %3 is not installed")
                        .arg(device.name, fs->name, fs->fuseDriver));

    const QString root = volumesRoot();
    if (!QDir().mkpath(root))
        return fail(QStringLiteral("cannot create %1").arg(root));
    RootLock lock(root);

    const QString base = folderNameFor(device.probe.label);
    QString folder = root + '/' + base;
    for (int n = 1; !folderIsFree(folder); ++n)
        folder = QStringLiteral("%1/%2 %3").arg(root, base).arg(n);
    const bool made = !QFileInfo::exists(folder);
    if (made && ::mkdir(folder.toUtf8().constData(), 0755) != 0)
        return fail(QStringLiteral("cannot create %1: %2").arg(folder, QString::fromLocal8Bit(strerror(errno))));

    QString why;
    bool ok;
    if (useKernel) {
        QStringList args{QStringLiteral("-t"), kernelType};
        if (device.readOnly)
            args << QStringLiteral("-r");
        args << device.node() << folder;
        ok = runHelper(QStringLiteral("mount"), args, &why, 60000);
    } else {
        ok = runHelperWhenFree(fs->fuseDriver, fs->fuseArgs(device.node(), folder), &why, 60000) && isMountPoint(folder);
        if (!ok && why.isEmpty())
            why = QStringLiteral("%1 did not mount the volume").arg(fs->fuseDriver);
    }
    if (!ok) {
        if (made)
            removeMountFolder(folder);
        return fail(QStringLiteral("%1 failed to mount: %2").arg(device.name, why));
    }
    if (mountPoint)
        *mountPoint = folder;
    return true;
}

bool waitUntilFree(const QString& node, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const int fd = ::open(node.toUtf8().constData(), O_RDONLY | O_EXCL | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        if (errno != EBUSY || timer.elapsed() > timeoutMs)
            return errno != EBUSY;
        QThread::msleep(50);
    }
}

DevicePin::DevicePin(const BlockDevice& device)
    : m_node(device.node()), m_name(device.name), m_wholeDisk(device.wholeDisk)
{
    const QString changed = QStringLiteral("%1 changed after it was chosen: nothing was done to it").arg(device.name);
    m_fd = ::open(device.node().toUtf8().constData(), O_RDONLY | O_CLOEXEC);
    struct stat st{};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISBLK(st.st_mode)
        || st.st_rdev != makedev(device.major, device.minor)) {
        m_error = changed;
        return;
    }
    // Read after opening: from here on the loop device keeps its image.
    if (device.isLoop() && (device.backingFile.isEmpty() || loopBackingFile(device.wholeDisk) != device.backingFile))
        m_error = changed;
}

quint64 DevicePin::diskSequence() const
{
    __u64 sequence = 0;
    if (m_fd >= 0 && ::ioctl(m_fd, BLKGETDISKSEQ, &sequence) == 0)
        return sequence;
    return diskSequenceOf(m_wholeDisk);
}

DevicePin::~DevicePin()
{
    releaseClaim();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool DevicePin::claim()
{
    if (!ok())
        return false;
    if (m_claimFd >= 0)
        return true;
    m_claimFd = ::open(m_node.toUtf8().constData(), O_RDONLY | O_EXCL | O_CLOEXEC);
    if (m_claimFd >= 0)
        return true;
    const int err = errno;
    if (err == EBUSY)
        m_error = QStringLiteral("%1 is in use elsewhere (mounted in another mount namespace, held by another "
                                 "program or by a volume stacked on it): nothing was done to it")
                      .arg(m_name);
    else
        m_error = QStringLiteral("%1 cannot be opened: %2").arg(m_name, QString::fromLocal8Bit(strerror(err)));
    return false;
}

void DevicePin::releaseClaim()
{
    if (m_claimFd >= 0)
        ::close(m_claimFd);
    m_claimFd = -1;
}

QString DiskLock::lockFolder() { return QStringLiteral("/run/tarnwick-vantoly"); }

DiskLock::DiskLock(const QString& wholeDisk, const QString& folder)
{
    if (wholeDisk.isEmpty() || wholeDisk.contains('/')) {
        m_error = QStringLiteral("no disk to lock");
        return;
    }
    if (::mkdir(folder.toUtf8().constData(), 0700) != 0 && errno != EEXIST) {
        m_error = QStringLiteral("cannot create %1: %2").arg(folder, QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    const QString path = QStringLiteral("%1/diskutil-%2.lock").arg(folder, wholeDisk);
    m_fd = ::open(path.toUtf8().constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_error = QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    // Refused rather than queued: a second erase waiting behind the first
    // would act on what the first left, which nobody chose.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        m_error = errno == EWOULDBLOCK
            ? QStringLiteral("another diskutil command is working on %1: try again when it has finished").arg(wholeDisk)
            : QStringLiteral("cannot lock %1: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
        ::close(m_fd);
        m_fd = -1;
    }
}

DiskLock::~DiskLock()
{
    if (m_fd >= 0)
        ::close(m_fd);  // closing releases the lock
}

bool unmountDevice(const BlockDevice& device, QString* error, bool waitForFree)
{
    const QString root = volumesRoot() + '/';
    // Deepest first, so a volume mounted inside another comes off first.
    QStringList points = device.mountPoints;
    std::sort(points.begin(), points.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& mp : points) {
        QString why;
        bool unmounted = runHelper(QStringLiteral("umount"), {mp}, &why, 60000);
        // A probe that has a file open for a moment (a scan, a thumbnailer)
        // makes the volume busy only briefly: try again for two seconds
        // before telling the user it is in use.
        for (int tries = 0; !unmounted && why.contains(QLatin1String("busy")) && tries < 10; ++tries) {
            ::usleep(200 * 1000);
            why.clear();
            unmounted = runHelper(QStringLiteral("umount"), {mp}, &why, 60000);
        }
        if (!unmounted) {
            if (error)
                *error = QStringLiteral("%1 failed to unmount from %2: %3").arg(device.name, mp, why);
            return false;
        }
        // Only a folder directly in the volumes root is ours to remove, and
        // rmdir removes nothing but an empty folder.
        if (mp.startsWith(root) && !mp.mid(root.size()).contains('/'))
            removeMountFolder(mp);
    }
    if (waitForFree && !points.isEmpty() && !waitUntilFree(device.node())) {
        if (error)
            *error = QStringLiteral("%1 is still in use after unmounting").arg(device.name);
        return false;
    }
    return true;
}

}  // namespace diskutil
