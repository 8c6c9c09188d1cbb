#pragma once
#include <QString>
#include <QStringList>

// A real volume on a loop device for tests that need one: an image file,
// attached, formatted and (optionally) mounted. The destructor always
// unmounts and detaches what it attached, and removes the image.
class LoopVolume
{
public:
    // Empty when loop volumes can be made here, otherwise the reason why not.
    static QString unavailableReason();

    // `fsType`: ext4, vfat, exfat, ntfs or "" for an unformatted device.
    explicit LoopVolume(const QString& fsType, int sizeMiB = 64, const QString& label = QString());
    ~LoopVolume();
    LoopVolume(const LoopVolume&) = delete;
    LoopVolume& operator=(const LoopVolume&) = delete;

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString image() const { return m_image; }
    QString device() const { return m_device; }           // /dev/loopN
    QString kernelName() const;                            // loopN
    QString mountPoint() const { return m_mountPoint; }    // empty while not mounted by us

    bool mount();      // under a private temporary folder
    bool unmount();
    void forget();     // the device was detached by the code under test

    // Runs a program and gives its exit code; output to `out` when given.
    static int run(const QString& program, const QStringList& args, QByteArray* out = nullptr);
    // Where attaching read no partition table (a kernel or container that
    // does not scan loop devices), adds the partitions the table names.
    static void addPartitions(const QString& device);

private:
    bool mountOnce();

    QString m_fsType;
    QString m_image;
    QString m_device;
    QString m_mountPoint;
    QString m_error;
};

#define SKIP_WITHOUT_LOOP_VOLUMES()                                              \
    do {                                                                         \
        const QString why_ = LoopVolume::unavailableReason();                    \
        if (!why_.isEmpty())                                                     \
            GTEST_SKIP() << "loop volumes unavailable: " << why_.toStdString();  \
    } while (0)

// A process in a mount namespace of its own (unshare -m), there until the
// object goes. Of the mounts of ours it was made with it keeps copies of
// `device`'s (private ones stay when that is unmounted here) and of what no
// loop device holds; when `device` has none, it mounts it at a folder of its
// own, which our namespace does not see (FAT through fusefat where the kernel
// has no driver for it).
class MountNamespace
{
public:
    explicit MountNamespace(const QString& device = QString(), const QString& propagation = QStringLiteral("private"));
    ~MountNamespace();
    MountNamespace(const MountNamespace&) = delete;
    MountNamespace& operator=(const MountNamespace&) = delete;

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    qint64 pid() const { return m_pid; }
    QString mountPoint() const { return m_mountPoint; }  // where `device` is mounted in there

    // A file as the namespace sees it; empty when it cannot be read there.
    QByteArray read(const QString& path) const;
    bool isMountPoint(const QString& path) const;

private:
    struct Process;
    Process* m_process = nullptr;
    qint64 m_pid = 0;
    QString m_mountPoint;
    QString m_error;
};
