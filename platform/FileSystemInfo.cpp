#include "platform/FileSystemInfo.h"

#include "platform/ExternalCommand.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace platform {

namespace {

// mountinfo escapes blanks and a few other bytes as \ooo.
QString unescape(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int c = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(static_cast<char>(c));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QString::fromLocal8Bit(out);
}

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
    const QByteArray wanted = QByteArray::number(major(st.st_dev)) + ':' + QByteArray::number(minor(st.st_dev));

    QFile info(QStringLiteral("/proc/self/mountinfo"));
    if (!info.open(QIODevice::ReadOnly))
        return {};
    MountEntry found;
    // Fields: id parent major:minor root mount-point options [optional...] - fstype source super-options
    for (const QByteArray& line : info.readAll().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() < 7 || f.at(2) != wanted)
            continue;
        const qsizetype dash = f.indexOf("-");
        if (dash < 0 || dash + 2 >= f.size())
            continue;
        found.mountPoint = unescape(f.at(4));
        found.fileSystem = QString::fromLatin1(f.at(dash + 1));
        found.source = unescape(f.at(dash + 2));
        // The last match wins: it is the mount on top.
    }
    if (found.fileSystem == QLatin1String("fuseblk") && found.source.startsWith(QLatin1String("/dev/"))) {
        // A FUSE driver hides the real type; the device's own signature tells it.
        const CommandResult r = runCommand(QStringLiteral("blkid"),
                                           {QStringLiteral("-p"), QStringLiteral("-o"), QStringLiteral("value"),
                                            QStringLiteral("-s"), QStringLiteral("TYPE"), found.source},
                                           5000);
        const QString type = QString::fromLatin1(r.output).trimmed();
        if (r.ok() && !type.isEmpty())
            found.fileSystem = type;
    }
    return found;
}

QString fileSystemType(const QString& path)
{
    return mountOf(path).fileSystem;
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
