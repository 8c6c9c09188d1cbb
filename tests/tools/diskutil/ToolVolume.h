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

// The mount entry's file-system type of `mountPoint`, or empty.
QString mountedType(const QString& mountPoint);

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
