#include "platform/FileSystemInfo.h"

#include "platform/ExternalCommand.h"

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
        // A FUSE driver hides the real type; the device's own signature tells it.
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

}  // namespace platform
