#pragma once
#include "Devices.h"
#include "FileSystems.h"

#include <QString>

namespace diskutil {

// Where volumes are mounted: one folder per volume, named after it.
QString volumesRoot();

// The folder name for a volume name: "/" cannot be part of one, and a
// volume without a usable name is "Untitled".
QString folderNameFor(const QString& volumeName);

// Mounts the device's file system under the volumes root, in a folder of its
// own name or, when that is taken, "<name> 1", "<name> 2", ...; with the
// kernel's driver, or the FUSE driver where the kernel has none.
bool mountVolume(const BlockDevice& device, QString* mountPoint, QString* error);

// Unmounts every mount of the device and removes the folders that mounting
// under the volumes root made. Returns when the device is free again, or,
// without `waitUntilFree`, as soon as its mounts here are gone (a device
// that stays in use elsewhere).
bool unmountDevice(const BlockDevice& device, QString* error, bool waitForFree = true);

// Waits until nothing holds the device open exclusively (a FUSE driver
// letting go after its unmount); false when it stays busy for `timeoutMs`.
bool waitUntilFree(const QString& node, int timeoutMs = 5000);

// Holds the device open from just before a destructive step to its end and
// says whether it is still the device the target was resolved to: a loop
// device detached and attached to another image meanwhile is refused, and
// while it is held open it cannot be re-attached.
class DevicePin
{
public:
    explicit DevicePin(const BlockDevice& device);
    ~DevicePin();
    DevicePin(const DevicePin&) = delete;
    DevicePin& operator=(const DevicePin&) = delete;

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    // The disk sequence of the medium held open: what is written to is this
    // medium whatever is attached at the node later.
    quint64 diskSequence() const;

    // Claims the device exclusively, as the kernel does for a mount: refused
    // while it is mounted anywhere (another mount namespace included), held
    // by a device-mapper or RAID volume, or claimed by another program. False
    // with the reason in error(). The claim lasts until releaseClaim().
    bool claim();
    // Lets go of the claim only, for a formatter that claims the device
    // itself (the pin stays, so a loop device keeps its image).
    void releaseClaim();

private:
    int m_fd = -1;
    int m_claimFd = -1;
    QString m_node;
    QString m_name;
    QString m_wholeDisk;
    QString m_error;
};

// One command at a time per disk, across diskutil processes: an exclusive
// flock on a file named after the whole disk under the lock folder.
class DiskLock
{
public:
    explicit DiskLock(const QString& wholeDisk, const QString& folder = lockFolder());
    ~DiskLock();
    DiskLock(const DiskLock&) = delete;
    DiskLock& operator=(const DiskLock&) = delete;

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    static QString lockFolder();

private:
    int m_fd = -1;
    QString m_error;
};

// The reason in a helper's error output, as a clause for a sentence of ours:
// its last line, without the tool's name, the paths it was given or a final
// full stop ("umount: /media/X: target is busy." gives "target is busy").
QString helperReason(const QByteArray& text, const QString& program, const QStringList& args);

// Runs a helper program by name with an argument vector; its standard error
// (or output) becomes `error` when it fails.
bool runHelper(const QString& program, const QStringList& args, QString* error, int timeoutMs = -1,
               QByteArray* output = nullptr);

// The same, tried again for a few seconds while the device is briefly locked
// by another reader (NTFS tools lock it even to read a label).
bool runHelperWhenFree(const QString& program, const QStringList& args, QString* error, int timeoutMs = -1);

}  // namespace diskutil
