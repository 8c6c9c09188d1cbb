#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

namespace platform {

// One line of the kernel's mount table (/proc/self/mountinfo).
struct MountEntry
{
    unsigned id = 0;        // the mount's own number: a copy in another namespace has another
    unsigned major = 0;     // device numbers of the mounted file system
    unsigned minor = 0;     // (0:N for FUSE and other anonymous devices)
    QString mountPoint;     // unescaped
    QString fsType;         // "ext4", "fuse.exfat", ...
    QString source;         // "/dev/sdb1", or whatever a FUSE driver named it
    QString options;        // per-mount options ("rw,nosuid,...")
    // Propagation: the peer group this mount shares events with ("shared:N")
    // and the one it receives them from ("master:N"); 0 for none. Group
    // numbers are the kernel's, the same in every mount namespace.
    unsigned peerGroup = 0;
    unsigned masterGroup = 0;

    bool readOnly() const;
};

// Parses mountinfo text; lines that do not parse are skipped.
QList<MountEntry> parseMountTable(const QByteArray& text);

// The current mount table of this process's namespace; empty when unreadable.
QList<MountEntry> readMountTable(const QString& path = QStringLiteral("/proc/self/mountinfo"));

}  // namespace platform
