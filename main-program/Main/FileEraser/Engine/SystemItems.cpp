#include "Main/FileEraser/Engine/SystemItems.h"

#include "platform/EntryIdentity.h"
#include "platform/FileSystemInfo.h"
#include "platform/MountTable.h"

#include <QFile>
#include <QSet>

#include <fcntl.h>

namespace SystemItems {

namespace {

// Where a Linux system keeps the volumes it runs from.
const QSet<QString>& systemMountPoints()
{
    static const QSet<QString> points = {
        QStringLiteral("/"),         QStringLiteral("/boot"),      QStringLiteral("/boot/efi"), QStringLiteral("/efi"),
        QStringLiteral("/usr"),      QStringLiteral("/usr/local"), QStringLiteral("/var"),      QStringLiteral("/var/log"),
        QStringLiteral("/var/tmp"),  QStringLiteral("/var/lib"),   QStringLiteral("/home"),     QStringLiteral("/opt"),
        QStringLiteral("/srv"),      QStringLiteral("/etc"),       QStringLiteral("/root"),     QStringLiteral("/tmp"),
        QStringLiteral("/snap"),     QStringLiteral("/nix"),       QStringLiteral("/gnu")};
    return points;
}

}  // namespace

bool isSystemItem(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QByteArray p = QFile::encodeName(path);
    const auto self = platform::entryIdentity(AT_FDCWD, p.constData());
    // Compared by identity, so "//", "/." and "/tmp/.." are "/" as well.
    const auto root = platform::entryIdentity(AT_FDCWD, "/");
    if (path == QLatin1String("/") || (self && root && self->sameObject(*root)))
        return true;
    if (platform::isDeviceNode(path) || platform::isPseudoFileSystem(path))
        return true;
    if (!self || !self->isMountRoot)
        return false;
    // A mount point: one of the system's own, or another view (a bind
    // mount) of a system volume.
    for (const platform::MountEntry& mount : platform::readMountTable()) {
        if (!systemMountPoints().contains(mount.mountPoint))
            continue;
        const auto point = platform::entryIdentity(AT_FDCWD, QFile::encodeName(mount.mountPoint).constData());
        if (point && (point->sameObject(*self) || point->device == self->device))
            return true;
    }
    return false;
}

}  // namespace SystemItems
