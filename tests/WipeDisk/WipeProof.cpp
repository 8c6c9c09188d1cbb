#include "WipeProof.h"

#include "WipeDisk/WipeVolumes.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <sys/statvfs.h>
#include <unistd.h>

#include <cstring>

namespace wipeproof {

QString diskutilPath() { return QStringLiteral(TV_STAGE_DIR "/libexec/tarnwick-vantoly/diskutil"); }
QString srmPath() { return QStringLiteral(TV_STAGE_DIR "/libexec/tarnwick-vantoly/srm"); }
platform::DiskTool diskTool() { return platform::DiskTool(diskutilPath(), true); }

QByteArray marker()
{
    return QByteArray("TVWIPEMARK") + QByteArray::number(qint64(::getpid())) + '#';
}

bool writeMarkerFile(const QString& path, qint64 bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block;
    while (block.size() < (1 << 20))
        block += marker();
    qint64 left = bytes;
    while (left > 0) {
        const qint64 n = qMin<qint64>(left, block.size());
        if (f.write(block.constData(), n) != n)
            return false;
        left -= n;
    }
    return f.flush() && ::fsync(f.handle()) == 0;
}

bool plantDeletedMarkers(const QString& dir, double fraction)
{
    struct statvfs sv{};
    if (::statvfs(QFile::encodeName(dir).constData(), &sv) != 0)
        return false;
    const qint64 total = qint64(double(sv.f_bavail) * double(sv.f_frsize) * fraction);
    const qint64 perFile = 64 << 20;
    QStringList files;
    for (qint64 done = 0, i = 0; done < total; done += perFile, ++i) {
        const QString path = dir + QStringLiteral("/marker-%1.bin").arg(i);
        if (!writeMarkerFile(path, qMin(perFile, total - done)))
            return false;
        files << path;
    }
    ::sync();
    for (const QString& f : files)
        if (!QFile::remove(f))
            return false;
    ::sync();
    return true;
}

qint64 countInImage(const QString& image, const QByteArray& needle)
{
    QFile f(image);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    qint64 count = 0;
    QByteArray carry;
    while (!f.atEnd()) {
        const QByteArray data = carry + f.read(8 << 20);
        for (qsizetype at = data.indexOf(needle); at >= 0; at = data.indexOf(needle, at + needle.size()))
            ++count;
        // Keep a tail shorter than the needle, so a marker across two reads is
        // counted once and a whole one never twice.
        carry = data.right(needle.size() - 1);
    }
    return count;
}

bool disableDiscard(const QString& device)
{
    QFile f(QStringLiteral("/sys/block/%1/queue/discard_max_bytes").arg(QFileInfo(device).fileName()));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write("0\n") == 2;
}

QString fsckProblem(const QString& fsType, const QString& device)
{
    QString program;
    QStringList args;
    if (fsType == QLatin1String("ext4")) {
        program = QStringLiteral("e2fsck");
        args = {QStringLiteral("-n"), QStringLiteral("-f")};
    } else if (fsType == QLatin1String("vfat")) {
        program = QStringLiteral("fsck.vfat");
        args = {QStringLiteral("-n")};
    } else if (fsType == QLatin1String("exfat")) {
        program = QStringLiteral("fsck.exfat");
        args = {QStringLiteral("-n")};
    } else if (fsType == QLatin1String("ntfs")) {
        program = QStringLiteral("ntfsfix");
        args = {QStringLiteral("-n")};
    }
    QByteArray out;
    const int code = LoopVolume::run(program, args << device, &out);
    return code == 0 ? QString() : QStringLiteral("%1 exit %2: %3").arg(program).arg(code).arg(QString::fromLocal8Bit(out));
}

VolumeObjPtr volumeFor(const QString& device)
{
    const std::optional<QVariantMap> info = WipeVolumes::getDisjInfo(diskTool(), device);
    return info ? WipeVolumes::volumeFromInfo(*info) : nullptr;
}

bool unmountWiped(const QString& device, const QString& mountPoint)
{
    if (mountPoint.isEmpty())
        return true;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (diskTool().run({QStringLiteral("unmount"), device}).ok())
            return true;
        QThread::msleep(400);
    }
    const bool ok = LoopVolume::run(QStringLiteral("umount"), {QStringLiteral("-l"), mountPoint}) == 0;
    QDir().rmdir(mountPoint);
    return ok;
}

bool runToEnd(WipeRun& run, int timeoutMs)
{
    if (run.hasEnded())
        return true;
    QEventLoop loop;
    QObject::connect(&run, &WipeRun::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return run.hasEnded();
}

}  // namespace wipeproof
