#include "LoopVolume.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include "platform/MountTable.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

int LoopVolume::run(const QString& program, const QStringList& args, QByteArray* out)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(-1))
        return -1;
    p.waitForFinished(-1);
    if (out)
        *out = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QString LoopVolume::unavailableReason()
{
    static const QString reason = [] {
        if (::geteuid() != 0)
            return QStringLiteral("tests need root");
        if (!QFileInfo::exists(QStringLiteral("/dev/loop-control")))
            return QStringLiteral("no /dev/loop-control");
        QByteArray out;
        if (run(QStringLiteral("losetup"), {QStringLiteral("-f")}, &out) != 0)
            return QStringLiteral("losetup -f failed: ") + QString::fromLocal8Bit(out).trimmed();
        return QString();
    }();
    return reason;
}

LoopVolume::LoopVolume(const QString& fsType, int sizeMiB, const QString& label) : m_fsType(fsType)
{
    m_image = QDir::tempPath() + "/tv-loop-" + QUuid::createUuid().toString(QUuid::Id128) + ".img";
    {
        QFile f(m_image);
        if (!f.open(QIODevice::WriteOnly) || !f.resize(qint64(sizeMiB) << 20)) {
            m_error = "cannot create image " + m_image;
            return;
        }
    }
    QByteArray out;
    if (run("losetup", {"--find", "--show", m_image}, &out) != 0) {
        m_error = "losetup: " + QString::fromLocal8Bit(out).trimmed();
        return;
    }
    m_device = QString::fromLocal8Bit(out).trimmed();

    QString program;
    QStringList args;
    if (fsType == "ext4") {
        program = "mkfs.ext4";
        args = {"-q", "-F"};
        if (!label.isEmpty())
            args << "-L" << label;
    } else if (fsType == "vfat") {
        program = "mkfs.vfat";
        args = {"-F", "32"};
        if (!label.isEmpty())
            args << "-n" << label;
    } else if (fsType == "exfat") {
        program = "mkfs.exfat";
        if (!label.isEmpty())
            args << "-L" << label;
    } else if (fsType == "ntfs") {
        program = "mkntfs";
        args = {"-F", "-Q"};
        if (!label.isEmpty())
            args << "-L" << label;
    }
    if (!program.isEmpty()) {
        args << m_device;
        if (run(program, args, &out) != 0)
            m_error = program + ": " + QString::fromLocal8Bit(out).trimmed();
    }
    // udev may still be probing the new device; let it settle so the tests
    // see the label and type.
    run("udevadm", {"settle", "--timeout=5"});
}

LoopVolume::~LoopVolume()
{
    unmount();
    if (!m_device.isEmpty())
        run("losetup", {"-d", m_device});
    if (!m_image.isEmpty())
        QFile::remove(m_image);
}

QString LoopVolume::kernelName() const { return QFileInfo(m_device).fileName(); }

bool LoopVolume::mount()
{
    // Under a full parallel run a first mount has been seen to fail once
    // (the reason not kept): a few tries before a test is failed for it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0)
            QThread::msleep(300);
        if (mountOnce())
            return true;
    }
    return false;
}

bool LoopVolume::mountOnce()
{
    if (!m_mountPoint.isEmpty())
        return true;
    QTemporaryDir dir(QDir::tempPath() + "/tv-mnt-XXXXXX");
    dir.setAutoRemove(false);
    QStringList args;
    if (m_fsType == "ntfs")
        args << "-t" << "ntfs-3g";
    args << m_device << dir.path();
    QByteArray out;
    if (run("mount", args, &out) != 0 && (m_fsType == "exfat" || m_fsType == "vfat")) {
        // No kernel driver: fall back to the FUSE one (blkdev: umount waits for the driver).
        const QStringList fuse = m_fsType == "exfat"
            ? QStringList{"mount.exfat-fuse", m_device, dir.path()}
            : QStringList{"fusefat", "-o", "rw+,blkdev,subtype=vfat,fsname=" + m_device, m_device, dir.path()};
        if (run(fuse.first(), fuse.mid(1), &out) != 0) {
            m_error = "mount: " + QString::fromLocal8Bit(out).trimmed();
            QDir().rmdir(dir.path());
            return false;
        }
    } else if (!QFileInfo(dir.path()).isDir() || run("mountpoint", {"-q", dir.path()}) != 0) {
        m_error = "mount: " + QString::fromLocal8Bit(out).trimmed();
        QDir().rmdir(dir.path());
        return false;
    }
    m_mountPoint = dir.path();
    return true;
}

bool LoopVolume::unmount()
{
    if (m_mountPoint.isEmpty())
        return true;
    const bool ok = run("umount", {m_mountPoint}) == 0 || run("umount", {"-l", m_mountPoint}) == 0;
    QDir().rmdir(m_mountPoint);
    m_mountPoint.clear();
    return ok;
}

void LoopVolume::forget()
{
    m_mountPoint.clear();
    m_device.clear();
}

struct MountNamespace::Process
{
    QProcess process;
    QTemporaryDir folder{QDir::tempPath() + "/tv-ns-XXXXXX"};
};

MountNamespace::MountNamespace(const QString& device, const QString& propagation) : m_process(new Process)
{
    QProcess& p = m_process->process;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // unshare runs the shell in the new namespace as the same process, so its
    // id is the namespace's. Before it says it is ready it lets go of its
    // copies of other tests' loop volumes (private and slave copies only; a
    // peer's unmount would spread back to ours): while it holds them, they
    // are in use elsewhere, and a test acting on one meanwhile is refused.
    struct stat dev{};
    const QString keep = !device.isEmpty() && ::stat(QFile::encodeName(device).constData(), &dev) == 0
        ? QStringLiteral("%1:%2").arg(major(dev.st_rdev)).arg(minor(dev.st_rdev))
        : QString();
    static const char* const script = R"SH(keep=$1 keepsource=$2
awk -v keep="$keep" -v keepsource="$keepsource" '{
    sep = 0; shared = 0
    for (i = 7; i <= NF; i++) { if ($i == "-") { sep = i; break } if ($i ~ /^shared:/) shared = 1 }
    source = $(sep + 2)
    if (!shared && $3 != keep && source != keepsource && ($3 ~ /^7:/ || source ~ /^\/dev\/loop/)) print $5
}' /proc/self/mountinfo | tac | while IFS= read -r at; do umount -l -- "$(printf '%b' "$at")" 2>/dev/null; done
echo ready; exec sleep 600)SH";
    p.start("unshare", {"-m", "--propagation", propagation, "sh", "-c", script, "sh", keep, device});
    QByteArray said;
    while (!said.contains("ready") && p.waitForReadyRead(30000))
        said += p.readAll();
    if (!said.contains("ready")) {
        m_error = "unshare: " + QString::fromLocal8Bit(said).trimmed();
        return;
    }
    m_pid = p.processId();
    const QString pid = QString::number(m_pid);

    // Whether the copy of `device` is there; and a second sweep for copies
    // the shell's could not name.
    const struct stat& st = dev;
    const bool numbered = !keep.isEmpty();
    bool copied = false;
    const QList<platform::MountEntry> table = platform::readMountTable("/proc/" + pid + "/mountinfo");
    for (auto it = table.rbegin(); it != table.rend(); ++it) {
        const bool ours = !device.isEmpty()
            && (it->source == device || (numbered && it->major == major(st.st_rdev) && it->minor == minor(st.st_rdev)));
        copied = copied || ours;
        if (!ours && it->peerGroup == 0 && (it->source.startsWith("/dev/loop") || it->major == 7))
            LoopVolume::run("nsenter", {"-t", pid, "-m", "umount", "-l", "--", it->mountPoint});
    }
    if (device.isEmpty() || copied)
        return;
    // FAT through its FUSE driver where the kernel has none, as a user would
    // mount it by hand.
    const QString folder = m_process->folder.path();
    if (LoopVolume::run("nsenter", {"-t", pid, "-m", "mount", device, folder}) != 0
        && LoopVolume::run("nsenter", {"-t", pid, "-m", "fusefat", "-o", "rw+", device, folder}) != 0) {
        m_error = "cannot mount " + device + " in the namespace";
        return;
    }
    m_mountPoint = folder;
}

MountNamespace::~MountNamespace()
{
    // The namespace and its mounts go with its last process; a FUSE driver
    // is one of them until its mount is taken off.
    if (!m_mountPoint.isEmpty())
        LoopVolume::run("nsenter", {"-t", QString::number(m_pid), "-m", "umount", "--", m_mountPoint});
    m_process->process.kill();
    m_process->process.waitForFinished(10000);
    delete m_process;
}

QByteArray MountNamespace::read(const QString& path) const
{
    QProcess p;
    p.start("nsenter", {"-t", QString::number(m_pid), "-m", "cat", "--", path});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

bool MountNamespace::isMountPoint(const QString& path) const
{
    return LoopVolume::run("nsenter", {"-t", QString::number(m_pid), "-m", "mountpoint", "-q", "--", path}) == 0;
}

void LoopVolume::addPartitions(const QString& device)
{
    if (!device.isEmpty() && !QFileInfo::exists(device + "p1"))
        run("partx", {"--add", device});
}
