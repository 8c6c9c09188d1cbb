#include "inter/FirefoxProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QMap>

namespace {

struct IniSection
{
    QString name;
    QMap<QString, QString> values;
};

// profiles.ini is plain "key=value" lines under "[section]" headers; paths
// may hold any character but a line break, so no escapes are read.
QList<IniSection> readIni(const QString& path)
{
    QList<IniSection> sections;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return sections;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (QByteArray raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            sections.append({line.mid(1, line.size() - 2), {}});
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0 || sections.isEmpty())
            continue;
        sections.last().values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return sections;
}

QString resolve(const QString& root, const QString& path, bool relative)
{
    if (path.isEmpty())
        return {};
    const QString full = relative ? QDir(root).filePath(path) : path;
    const QString clean = QDir::cleanPath(full);
    return QFileInfo(clean).isDir() ? clean : QString();
}

}  // namespace

QString firefoxProfileRoot(const QString& legacyRoot, const QString& configRoot)
{
    if (!legacyRoot.isEmpty() && QFileInfo(legacyRoot).isDir())
        return legacyRoot;
    return configRoot;
}

QString firefoxDefaultProfile(const QString& root)
{
    if (root.isEmpty())
        return {};
    const QList<IniSection> sections = readIni(QDir(root).filePath(QStringLiteral("profiles.ini")));
    bool installed = false;
    for (const IniSection& s : sections) {
        if (!s.name.startsWith(QLatin1String("Install")))
            continue;
        installed = true;
        const QString path = s.values.value(QStringLiteral("Default"));
        if (!path.isEmpty()) {
            const QString found = resolve(root, path, QDir::isRelativePath(path));
            if (!found.isEmpty())
                return found;
        }
    }
    // The Default=1 profile beside an [Install...] section is the one older
    // builds used; the installed build has a profile of its own.
    if (installed)
        return {};
    for (const IniSection& s : sections) {
        if (!s.name.startsWith(QLatin1String("Profile")) || s.values.value(QStringLiteral("Default")) != "1")
            continue;
        const QString found = resolve(root, s.values.value(QStringLiteral("Path")),
                                      s.values.value(QStringLiteral("IsRelative"), QStringLiteral("1")) != "0");
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString firefoxCacheProfile(const QString& root, const QString& profile, const QString& cacheRoot)
{
    if (profile.isEmpty() || cacheRoot.isEmpty())
        return {};
    const QString relative = QDir(QDir::cleanPath(root)).relativeFilePath(profile);
    const QString below = relative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(relative)
                              ? QFileInfo(profile).fileName()
                              : relative;
    return QDir::cleanPath(QDir(cacheRoot).filePath(below));
}
