#include "ToolVolume.h"

#include "platform/MountTable.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace toolvolume {

platform::DiskTool tool()
{
    return platform::DiskTool(QStringLiteral(TV_STAGE_DIR "/libexec/tarnwick-vantoly/diskutil"), true);
}

QString uniqueLabel(const QString& prefix)
{
    return (prefix + QUuid::createUuid().toString(QUuid::Id128)).left(11).toUpper();
}

void releaseMounts(const QString& device)
{
    if (device.isEmpty())
        return;
    struct stat st{};
    const bool haveNumbers = ::stat(device.toUtf8().constData(), &st) == 0;
    const QList<platform::MountEntry> table = platform::readMountTable();
    for (auto it = table.rbegin(); it != table.rend(); ++it) {
        const bool same = it->source == device
            || (haveNumbers && it->major != 0 && it->major == major(st.st_rdev) && it->minor == minor(st.st_rdev));
        if (!same)
            continue;
        if (LoopVolume::run(QStringLiteral("umount"), {it->mountPoint}) != 0)
            LoopVolume::run(QStringLiteral("umount"), {QStringLiteral("-l"), it->mountPoint});
        if (it->mountPoint.startsWith(QLatin1String("/media/")))
            QDir().rmdir(it->mountPoint);
    }
}

QString mountedType(const QString& mountPoint)
{
    for (const platform::MountEntry& m : platform::readMountTable())
        if (m.mountPoint == mountPoint)
            return m.fsType;
    return {};
}

}  // namespace toolvolume

QVariantMap ToolVolume::info() const
{
    return toolvolume::tool().runPlist({QStringLiteral("info"), QStringLiteral("-plist"), kernelName()}).value_or(QVariantMap());
}
