#include "ToolVolume.h"

#include "platform/MountTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
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

platform::CommandResult runPastOtherTests(const QStringList& args, qint64 own)
{
    platform::CommandResult r = tool().run(args, 120000);
    const QByteArray ours = QStringLiteral("namespace of process %1 ").arg(own).toUtf8();
    for (int tries = 0; r.exitCode != 0 && r.errors.contains("in the mount namespace of process ")
                        && (own == 0 || !r.errors.contains(ours)) && tries < 20;
         ++tries) {
        QThread::msleep(500);
        r = tool().run(args, 120000);
    }
    return r;
}

QString mountedType(const QString& mountPoint)
{
    for (const platform::MountEntry& m : platform::readMountTable())
        if (m.mountPoint == mountPoint)
            return m.fsType;
    return {};
}

namespace {
const QByteArray kMarker = "OTHER-DISK-MARKER-must-survive";
const qint64 kMarkerOffsets[] = {0, qint64(1) << 20};
}  // namespace

bool writeMarkers(const QString& image)
{
    QFile f(image);
    if (!f.open(QIODevice::ReadWrite) || !f.resize(qint64(64) << 20))
        return false;
    for (qint64 at : kMarkerOffsets)
        if (!f.seek(at) || f.write(kMarker) != kMarker.size())
            return false;
    return true;
}

int markersLeft(const QString& image)
{
    QFile f(image);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    int left = 0;
    for (qint64 at : kMarkerOffsets)
        left += f.seek(at) && f.read(kMarker.size()) == kMarker ? 1 : 0;
    return left;
}

}  // namespace toolvolume

QVariantMap ToolVolume::info() const
{
    return toolvolume::tool().runPlist({QStringLiteral("info"), QStringLiteral("-plist"), kernelName()}).value_or(QVariantMap());
}

AttachedImage::AttachedImage(const QString& node, const QString& image) : m_node(node)
{
    m_attached = LoopVolume::run(QStringLiteral("losetup"), {node, image}) == 0;
}

AttachedImage::~AttachedImage()
{
    if (!m_attached)
        return;
    toolvolume::releaseMounts(m_node);
    LoopVolume::run(QStringLiteral("losetup"), {QStringLiteral("-d"), m_node});
}
