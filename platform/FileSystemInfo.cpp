#include "platform/FileSystemInfo.h"

#include "platform/ExternalCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace platform {

namespace {

bool statNearest(QString path, struct stat* st)
{
    for (;;) {
        if (::stat(path.toLocal8Bit().constData(), st) == 0)
            return true;
        const QString parent = QFileInfo(path).absolutePath();
        if (parent == path || parent.isEmpty())
            return false;
        path = parent;
    }
}

// The type udev found on the device when it appeared; readable by every user.
QString udevType(const QString& device)
{
    struct stat st{};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0 || !S_ISBLK(st.st_mode))
        return QString();
    QFile data(QStringLiteral("/run/udev/data/b%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev)));
    if (!data.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray& line : data.readAll().split('\n'))
        if (line.startsWith("E:ID_FS_TYPE="))
            return QString::fromUtf8(line.mid(13)).trimmed();
    return QString();
}

// The type a FUSE driver serves, told by the driver's own program: the one
// running with the device among its arguments. Every user may read a
// process's arguments, unlike the device itself.
QString fuseDriverType(const QString& device)
{
    // The device alone: a driver holds its device exclusively.
    const QByteArray dev = QFile::encodeName(device);
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid.isEmpty() || !pid.at(0).isDigit())
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> args = cmdline.read(64 * 1024).split('\0');
        if (args.isEmpty() || !args.contains(dev))
            continue;
        const QByteArray program = args.first().mid(args.first().lastIndexOf('/') + 1).toLower();
        if (program.contains("ntfs"))
            return QStringLiteral("ntfs");
        if (program.contains("exfat"))
            return QStringLiteral("exfat");
        if (program.contains("fusefat"))
            return QStringLiteral("vfat");
    }
    return QString();
}

}  // namespace

MountEntry mountOf(const QString& path)
{
    struct stat st{};
    if (path.isEmpty() || !statNearest(QFileInfo(path).absoluteFilePath(), &st))
        return {};
    MountEntry found;
    // The last match wins: it is the mount on top.
    for (const MountEntry& entry : readMountTable())
        if (entry.major == major(st.st_dev) && entry.minor == minor(st.st_dev))
            found = entry;
    if (found.fsType == QLatin1String("fuseblk") && found.source.startsWith(QLatin1String("/dev/"))) {
        // A FUSE driver hides the real type. Told without reading the device,
        // which only root may: udev's record of it, or the driver serving it;
        // the device's own signature last, for root.
        QString told = udevType(found.source);
        if (told.isEmpty())
            told = fuseDriverType(found.source);
        if (!told.isEmpty()) {
            found.fsType = told;
            return found;
        }
        const CommandResult r = runCommand(QStringLiteral("blkid"),
                                           {QStringLiteral("-p"), QStringLiteral("-o"), QStringLiteral("value"),
                                            QStringLiteral("-s"), QStringLiteral("TYPE"), found.source},
                                           5000);
        const QString type = QString::fromLatin1(r.output).trimmed();
        if (r.ok() && !type.isEmpty())
            found.fsType = type;
    }
    return found;
}

QString fileSystemType(const QString& path)
{
    return mountOf(path).fsType;
}

bool isNtfs(const QString& path)
{
    return fileSystemType(path).toLower().contains(QLatin1String("ntfs"));
}

bool isPseudoFileSystem(const QString& path)
{
    static const QSet<QString> pseudo = {
        QStringLiteral("proc"),      QStringLiteral("sysfs"),       QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),    QStringLiteral("cgroup"),      QStringLiteral("cgroup2"),
        QStringLiteral("debugfs"),   QStringLiteral("securityfs"),  QStringLiteral("tracefs"),
        QStringLiteral("configfs"),  QStringLiteral("bpf"),         QStringLiteral("pstore"),
        QStringLiteral("efivarfs"),  QStringLiteral("mqueue"),      QStringLiteral("hugetlbfs"),
        QStringLiteral("fusectl"),   QStringLiteral("binfmt_misc"), QStringLiteral("autofs"),
        QStringLiteral("rpc_pipefs"), QStringLiteral("nsfs"),       QStringLiteral("selinuxfs")};
    return pseudo.contains(fileSystemType(path));
}

bool isDeviceNode(const QString& path)
{
    struct stat st{};
    return ::lstat(path.toLocal8Bit().constData(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode));
}

qint64 fatClusterSize(const QString& node)
{
    QFile f(node);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray boot = f.read(512);
    if (boot.size() < 512 || quint8(boot[510]) != 0x55 || quint8(boot[511]) != 0xAA)
        return 0;
    // "FAT" names the type where FAT12/16 (offset 54) or FAT32 (offset 82) keep it.
    if (boot.mid(54, 3) != "FAT" && boot.mid(82, 3) != "FAT")
        return 0;
    const auto isPowerOfTwo = [](qint64 n) { return n > 0 && (n & (n - 1)) == 0; };
    const qint64 sectorSize = quint8(boot[11]) | (quint8(boot[12]) << 8);
    const qint64 perCluster = quint8(boot[13]);
    if (!isPowerOfTwo(sectorSize) || sectorSize < 512 || sectorSize > 4096 || !isPowerOfTwo(perCluster))
        return 0;
    return sectorSize * perCluster;
}

}  // namespace platform
