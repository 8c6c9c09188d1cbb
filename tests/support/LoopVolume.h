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

private:
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
