#include "platform/MountTable.h"

#include <QFile>

namespace platform {

namespace {

// The kernel writes blanks, tabs, newlines and backslashes in paths as
// three-digit octal escapes; everything else is raw bytes of the path.
QString unescape(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray oct = field.mid(i + 1, 3);
            bool ok = false;
            const int value = oct.toInt(&ok, 8);
            if (ok && oct.size() == 3) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return QString::fromUtf8(out);
}

}  // namespace

bool MountEntry::readOnly() const
{
    return options.split(',').contains(QStringLiteral("ro"));
}

QList<MountEntry> parseMountTable(const QByteArray& text)
{
    QList<MountEntry> entries;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const qsizetype dash = fields.indexOf("-", 6);
        if (fields.size() < 7 || dash < 0 || dash + 2 >= fields.size())
            continue;
        MountEntry e;
        e.id = fields[0].toUInt();
        const QList<QByteArray> dev = fields[2].split(':');
        if (dev.size() != 2)
            continue;
        e.major = dev[0].toUInt();
        e.minor = dev[1].toUInt();
        e.mountPoint = unescape(fields[4]);
        e.options = QString::fromUtf8(fields[5]);
        for (qsizetype i = 6; i < dash; ++i) {
            const QList<QByteArray> tag = fields[i].split(':');
            if (tag.size() == 2 && tag[0] == "shared")
                e.peerGroup = tag[1].toUInt();
            else if (tag.size() == 2 && tag[0] == "master")
                e.masterGroup = tag[1].toUInt();
        }
        e.fsType = unescape(fields[dash + 1]);
        e.source = unescape(fields[dash + 2]);
        entries.append(e);
    }
    return entries;
}

QList<MountEntry> readMountTable(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A proc file has no size; readAll reads until the end.
    return parseMountTable(file.readAll());
}

}  // namespace platform
