#include "platform/DesktopEntries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStandardPaths>

#include <sys/stat.h>

#include <algorithm>
#include <utility>

namespace platform {

namespace {

// String values may carry \s \n \t \r and \\ escapes.
QString unescape(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value[++i];
        switch (n.unicode()) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: out += '\\'; out += n; break;
        }
    }
    return out;
}

bool isTrue(const QString& value) { return value.trimmed() == QLatin1String("true"); }

// Splits Exec into its arguments: double quotes group, a backslash inside them
// escapes the next character.
QStringList execArguments(const QString& exec)
{
    QStringList args;
    QString current;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == '"')
                quoted = false;
            else if (c == '\\' && i + 1 < exec.size())
                current += exec[++i];
            else
                current += c;
        } else if (c == '"') {
            quoted = any = true;
        } else if (c.isSpace()) {
            if (any || !current.isEmpty())
                args << current;
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (any || !current.isEmpty())
        args << current;
    return args;
}

bool tryExecFound(const QString& tryExec)
{
    if (tryExec.isEmpty())
        return true;
    if (tryExec.startsWith('/'))
        return QFileInfo(tryExec).isExecutable();
    return !QStandardPaths::findExecutable(tryExec).isEmpty();
}

struct Key
{
    dev_t device;
    ino_t inode;
    bool operator==(const Key& o) const { return device == o.device && inode == o.inode; }
};
size_t qHash(const Key& k, size_t seed = 0) { return ::qHash(quint64(k.inode), seed) ^ quint64(k.device); }

// Every *.desktop file below `root`, as (desktop ID, file). Folder links are
// followed, each folder at most once.
void collect(const QString& root, QList<std::pair<QString, QString>>& out)
{
    QSet<Key> seen;
    QList<std::pair<QString, QString>> pending{{root, QString()}};  // folder, ID prefix
    while (!pending.isEmpty()) {
        const auto [folder, prefix] = pending.takeLast();
        struct stat st{};
        if (::stat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            continue;
        const Key key{st.st_dev, st.st_ino};
        if (seen.contains(key))
            continue;
        seen.insert(key);
        const QDir dir(folder);
        const QStringList names = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        for (const QString& name : names) {
            const QString path = dir.filePath(name);
            const QFileInfo info(path);  // follows links
            if (info.isDir())
                pending.append({path, prefix + name + '-'});
            else if (name.endsWith(QLatin1String(".desktop")) && info.isFile())
                out.append({prefix + name, path});
        }
    }
}

}  // namespace

QStringList DesktopEntry::execCommand() const
{
    QStringList args = execArguments(exec);
    if (!args.isEmpty() && QFileInfo(args.first()).fileName() == QLatin1String("env")) {
        args.removeFirst();
        while (!args.isEmpty() && (args.first().contains('=') || args.first().startsWith('-')))
            args.removeFirst();
    }
    return args;
}

QString DesktopEntry::execProgram() const
{
    const QStringList args = execCommand();
    return args.isEmpty() ? QString() : QFileInfo(args.first()).fileName();
}

QString DesktopEntry::baseId() const
{
    return id.endsWith(QLatin1String(".desktop")) ? id.chopped(8) : id;
}

std::optional<DesktopEntry> readDesktopEntry(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    DesktopEntry e;
    e.file = file;
    bool inMain = false, sawMain = false;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            // Only the first [Desktop Entry] group describes the application;
            // actions and other groups have keys of the same names.
            inMain = !sawMain && line == QLatin1String("[Desktop Entry]");
            sawMain = sawMain || inMain;
            continue;
        }
        if (!inMain)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Type"))
            e.isApplication = value == QLatin1String("Application");
        else if (key == QLatin1String("Name"))
            e.name = unescape(value);
        else if (key == QLatin1String("Icon"))
            e.icon = unescape(value);
        else if (key == QLatin1String("Exec"))
            e.exec = unescape(value);
        else if (key == QLatin1String("TryExec"))
            e.tryExec = unescape(value);
        else if (key == QLatin1String("X-Flatpak"))
            e.flatpakId = unescape(value);
        else if (key == QLatin1String("Hidden"))
            e.hidden = isTrue(value);
        else if (key == QLatin1String("NoDisplay"))
            e.noDisplay = isTrue(value);
    }
    if (!sawMain)
        return std::nullopt;
    return e;
}

QList<DesktopEntry> scanDesktopEntries(const QStringList& roots)
{
    QHash<QString, bool> decided;  // desktop ID -> an earlier root already had it
    QList<DesktopEntry> result;
    for (const QString& root : roots) {
        QList<std::pair<QString, QString>> files;
        collect(root, files);
        for (const auto& [id, file] : std::as_const(files)) {
            if (decided.contains(id))
                continue;
            decided.insert(id, true);
            auto entry = readDesktopEntry(file);
            if (!entry || !entry->isApplication || entry->hidden || entry->noDisplay
                || !tryExecFound(entry->tryExec))
                continue;
            entry->id = id;
            entry->root = root;
            result.append(std::move(*entry));
        }
    }
    std::sort(result.begin(), result.end(),
              [](const DesktopEntry& a, const DesktopEntry& b) { return a.id < b.id; });
    return result;
}

QStringList applicationRootsFor(const QString& home)
{
    QStringList roots;
    if (!home.isEmpty())
        roots << home + QStringLiteral("/.local/share/applications")
              << home + QStringLiteral("/.local/share/flatpak/exports/share/applications");
    roots << QStringLiteral("/var/lib/flatpak/exports/share/applications")
          << QStringLiteral("/usr/local/share/applications") << QStringLiteral("/usr/share/applications");
    return roots;
}

}  // namespace platform
