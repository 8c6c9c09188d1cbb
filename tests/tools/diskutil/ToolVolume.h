#pragma once
#include "LoopVolume.h"
#include "platform/DiskTool.h"

#include <QString>
#include <QVariantMap>

#include <ostream>

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// Tests that drive the staged diskutil on loop volumes.
namespace toolvolume {

// The staged tool, with loop devices shown as USB volumes.
platform::DiskTool tool();

// A label no other test uses (at most 11 characters, upper case, so FAT takes it too).
QString uniqueLabel(const QString& prefix = QStringLiteral("T"));

// Unmounts whatever is mounted from `device` (the tool under test mounts
// under /media) and removes the folders, so the loop device can be detached.
void releaseMounts(const QString& device);

// Runs the staged tool with `args`. A refusal naming a mount namespace
// other than that of process `own` (0: none of the test's) is another
// test's namespace holding a copy of our mount for a moment after it was
// made: it is waited out, for up to 10 s.
platform::CommandResult runPastOtherTests(const QStringList& args, qint64 own = 0);

// The mount entry's file-system type of `mountPoint`, or empty.
QString mountedType(const QString& mountPoint);

// A 64 MiB raw image with a marker at its start and 1 MiB in, where every
// formatter writes; how many of the two are still there.
bool writeMarkers(const QString& image);
int markersLeft(const QString& image);

}  // namespace toolvolume

// A loop volume whose mounts are released before it is detached, also when
// a test fails half-way.
class ToolVolume : public LoopVolume
{
public:
    using LoopVolume::LoopVolume;
    ~ToolVolume() { toolvolume::releaseMounts(device()); }
    QVariantMap info() const;
};

// An image attached by hand at a chosen loop node (what the kernel does when
// a stick is pulled and another plugged in); detached when it goes.
class AttachedImage
{
public:
    AttachedImage(const QString& node, const QString& image);
    ~AttachedImage();
    AttachedImage(const AttachedImage&) = delete;
    AttachedImage& operator=(const AttachedImage&) = delete;
    bool attached() const { return m_attached; }

private:
    QString m_node;
    bool m_attached = false;
};
