#include "Main/FileEraser/Engine/VolumeLogLine.h"

#include "Main/FileEraser/Engine/SystemItems.h"
#include "platform/FileSystemInfo.h"

#include <QFile>

QString volumeLogLine(const QString& path)
{
    const platform::MountEntry mount = platform::mountOf(path);
    const bool known = !mount.mountPoint.isEmpty();
    // Removable as the kernel tells it for the whole disk; a partition answers through its parent.
    bool removable = false;
    if (known && mount.major != 0) {
        const QString block = QStringLiteral("/sys/dev/block/%1:%2").arg(mount.major).arg(mount.minor);
        for (const QString& flag : {block + QStringLiteral("/removable"), block + QStringLiteral("/../removable")}) {
            QFile f(flag);
            if (f.open(QIODevice::ReadOnly)) {
                removable = f.readAll().trimmed() == "1";
                break;
            }
        }
    }
    const bool writable = known && !mount.readOnly();
    // What the system runs from ("/", "/usr", ...) cannot be unmounted while it runs.
    const bool unmountable = known && !SystemItems::isSystemItem(mount.mountPoint);
    const QString type = known && !mount.fsType.isEmpty() ? mount.fsType : QStringLiteral("(null)");
    // One pass: a "%3" in the path is not taken for a place of the pattern.
    return QStringLiteral("Result:%1 Volume: %2, Removable:%3, W:%4, Unmountable:%5, Desc:%6, type:%7")
        .arg(QString::number(known ? 1 : 0), path, QString::number(removable ? 1 : 0),
             QString::number(writable ? 1 : 0), QString::number(unmountable ? 1 : 0), type, type);
}
