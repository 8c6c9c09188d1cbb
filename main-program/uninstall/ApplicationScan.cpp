#include "uninstall/ApplicationScan.h"

#include "Comm/CommUti.h"
#include "platform/DesktopEntries.h"
#include "uninstall/RelatedAppFilesScanner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <sys/stat.h>

#include <algorithm>
#include <functional>

namespace {

struct FolderKey
{
    dev_t device;
    ino_t inode;
    bool operator==(const FolderKey& o) const { return device == o.device && inode == o.inode; }
};
size_t qHash(const FolderKey& k, size_t seed = 0) { return ::qHash(quint64(k.inode), seed) ^ quint64(k.device); }

// The walk of tabs 1 and 2: an entry that `isRecord` accepts becomes a record
// and is not descended into; any other folder (a link to one included) is
// walked, each folder once.
void walk(const QString& root, const std::function<bool(const QString&)>& isRecord, AMAppItemList& out,
          QSet<FolderKey>& seen)
{
    QStringList pending{root};
    while (!pending.isEmpty()) {
        const QString folder = pending.takeLast();
        struct stat st{};
        if (::stat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            continue;
        const FolderKey key{st.st_dev, st.st_ino};
        if (seen.contains(key))
            continue;
        seen.insert(key);
        const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden
                                                             | QDir::System, QDir::Unsorted);
        QStringList subfolders;
        for (const QString& name : names) {
            const QString path = folder + '/' + name;
            if (isRecord(path))
                out.append(RelatedAppFilesScanner::constructItem(path, 1));
            else if (QFileInfo(path).isDir())
                subfolders.prepend(path);  // depth first, in listing order
        }
        pending += subfolders;
    }
}

// Name, identifier and version from a widget's metadata.
void readWidgetMetadata(AMAppItem& item)
{
    QFile json(item.path + QStringLiteral("/metadata.json"));
    if (json.open(QIODevice::ReadOnly)) {
        const QJsonObject o = QJsonDocument::fromJson(json.readAll()).object();
        const QJsonObject plugin = o.value(QStringLiteral("KPlugin")).toObject();
        const QString name = o.value(QStringLiteral("name")).toString(plugin.value(QStringLiteral("Name")).toString());
        if (!name.isEmpty())
            item.name = name;
        item.bundleID = o.value(QStringLiteral("uuid")).toString(plugin.value(QStringLiteral("Id")).toString());
        const QJsonValue v = o.contains(QStringLiteral("version")) ? o.value(QStringLiteral("version"))
                                                                     : plugin.value(QStringLiteral("Version"));
        item.bundleVersion = v.isDouble() ? QString::number(v.toDouble()) : v.toString();
        return;
    }
    if (auto e = platform::readDesktopEntry(item.path + QStringLiteral("/metadata.desktop"))) {
        if (!e->name.isEmpty())
            item.name = e->name;
    }
}

// The release of a Flatpak from its metainfo, the newest listed first.
QString metainfoRelease(const QString& appFolder, const QString& id)
{
    for (const char* sub : {"/current/active/files/share/metainfo/", "/current/active/files/share/appdata/"}) {
        for (const char* ext : {".metainfo.xml", ".appdata.xml"}) {
            QFile f(appFolder + QLatin1String(sub) + id + QLatin1String(ext));
            if (!f.open(QIODevice::ReadOnly))
                continue;
            static const QRegularExpression release(QStringLiteral("<release\\b[^>]*\\bversion=\"([^\"]+)\""));
            const auto m = release.match(QString::fromUtf8(f.readAll()));
            return m.hasMatch() ? m.captured(1) : QString();
        }
    }
    return {};
}

// The file the entry starts, links resolved; empty when it cannot be found.
QString resolvedProgram(const platform::DesktopEntry& e)
{
    QString program = e.tryExec;
    if (program.isEmpty()) {
        // The first word of Exec that is not "env" or its settings.
        const QString base = e.execProgram();
        if (base.isEmpty())
            return {};
        for (const QString& word : e.exec.split(' ', Qt::SkipEmptyParts)) {
            QString w = word;
            w.remove('"');
            if (QFileInfo(w).fileName() == base) {
                program = w;
                break;
            }
        }
    }
    if (!program.startsWith('/'))
        program = QStandardPaths::findExecutable(program);
    if (program.isEmpty())
        return {};
    const QString real = QFileInfo(program).canonicalFilePath();
    return real.isEmpty() ? program : real;
}

// The path with its folders' links resolved and its last component kept, so
// an entry that is itself a link is removed as the link, and a removal that
// refuses links along the path still works when the home lies behind one.
QString realParent(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.path()).canonicalFilePath();
    return folder.isEmpty() ? path : folder + '/' + info.fileName();
}

bool under(const QString& path, const QString& folder)
{
    return path.startsWith(folder + '/');
}

// Links in `folders` whose target lies in `path` (or is it).
QStringList linksInto(const QString& path, const QStringList& folders)
{
    QStringList links;
    for (const QString& folder : folders) {
        for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
            if (!info.isSymLink())
                continue;
            const QString target = info.canonicalFilePath();
            if (target == path || under(target, path))
                links << info.absoluteFilePath();
        }
    }
    return links;
}

// An entry of the user's own folders: removing it never removes a package.
bool isUserRoot(const ScanSetup& setup, const QString& root)
{
    return !setup.home.isEmpty() && root.startsWith(setup.home + '/');
}

bool isOwnName(const ScanSetup& setup, const QString& word)
{
    for (const QString& own : setup.ownNames)
        if (word == own || word.startsWith(own + '.') || word.startsWith(own + ':'))
            return true;
    return false;
}

void setSystem(AMAppItem& item, bool system)
{
    item.isSystemApp = system;
    item.isSystemAppStr = system ? kYesText : kNoText;
}

// Tabs 1 and 2: what a package owns is removed by the package manager.
void markPackaged(AMAppItemList& items, const ScanSetup& setup)
{
    QStringList paths;
    for (const auto& item : items)
        paths << item->path;
    const auto owners = packageOwners(paths, setup.tools);
    if (owners.isEmpty())
        return;
    const auto infos = packageInfo(QSet<QString>(owners.begin(), owners.end()).values(), setup.tools);
    for (const auto& item : items) {
        const auto owner = owners.constFind(item->path);
        if (owner == owners.constEnd())
            continue;
        item->kind = AppKind::Package;
        item->packageName = *owner;
        const PackageInfo info = infos.value(*owner);
        if (item->bundleVersion.isEmpty())
            item->bundleVersion = info.version;
        setSystem(*item, info.isProtected() || isOwnName(setup, *owner));
    }
}

}  // namespace

ScanSetup ScanSetup::standard()
{
    ScanSetup s;
    s.applicationRoots = CommUti::applicationPaths();
    s.widgetRoots = CommUti::widgetPaths();
    s.pluginRoots = CommUti::pluginPaths();
    s.home = platform::invokingUser().home;
    return s;
}

namespace ApplicationScan {

bool isWidgetFolder(const QString& path)
{
    return QFileInfo(path).isDir()
           && (QFileInfo::exists(path + QStringLiteral("/metadata.json"))
               || QFileInfo::exists(path + QStringLiteral("/metadata.desktop")));
}

bool isPluginName(const QString& name)
{
    const QString ext = QFileInfo(name).suffix();  // exact, case included
    return ext == QLatin1String("so") || ext == QLatin1String("xml") || ext == QLatin1String("conf");
}

bool isAppImage(const QString& path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(11);
    return head.size() == 11 && head[8] == 'A' && head[9] == 'I' && (head[10] == 1 || head[10] == 2);
}

AMAppItemList applications(const ScanSetup& setup)
{
    const auto entries = platform::scanDesktopEntries(setup.applicationRoots);
    const QString userFlatpak = setup.home.isEmpty() ? QString() : setup.home + QStringLiteral("/.local/share/flatpak");

    // What each entry starts, for the entries outside the user's own folders:
    // a program under /opt that a package owns belongs to that package.
    QHash<QString, QString> programs;  // entry file -> program
    for (const auto& e : entries)
        if (e.flatpakId.isEmpty())
            if (const QString program = resolvedProgram(e); !program.isEmpty())
                programs.insert(e.file, program);

    // One question to dpkg for every entry (and /opt program), one for every owning package.
    QStringList files;
    for (const auto& e : entries) {
        if (!e.flatpakId.isEmpty())
            continue;
        files << e.file;
        const QString program = programs.value(e.file);
        if (under(program, setup.optRoot) && !isUserRoot(setup, e.root))
            files << program;
    }
    const auto owners = packageOwners(files, setup.tools);
    const auto infos = packageInfo(QSet<QString>(owners.begin(), owners.end()).values(), setup.tools);

    AMAppItemList items;
    items.reserve(entries.size());
    for (const auto& e : entries) {
        auto item = std::make_shared<AMAppItem>();
        item->name = e.name.isEmpty() ? e.baseId() : e.name;
        item->iconName = e.icon;
        item->executable = e.execProgram();
        item->size = kUnmeasuredSize;
        setSystem(*item, isOwnName(setup, e.baseId()) || isOwnName(setup, item->executable));
        auto owner = owners.constFind(e.file);
        if (owner == owners.constEnd() && !isUserRoot(setup, e.root))
            owner = owners.constFind(programs.value(e.file));
        if (!e.flatpakId.isEmpty()) {
            item->kind = AppKind::Flatpak;
            item->bundleID = e.flatpakId;
            QString base = e.root;
            base.chop(QStringLiteral("/exports/share/applications").size());
            item->path = base + QStringLiteral("/app/") + e.flatpakId;
            item->flatpakUser = !userFlatpak.isEmpty() && base == userFlatpak;
            item->bundleVersion = metainfoRelease(item->path, e.flatpakId);
        } else if (owner != owners.constEnd()) {
            item->kind = AppKind::Package;
            item->bundleID = e.baseId();
            item->path = e.file;
            item->packageName = *owner;
            const PackageInfo info = infos.value(*owner);
            item->bundleVersion = info.version;
            item->knownBytes = info.installedBytes;
            item->hasKnownSize = info.installedBytes > 0;
            if (info.isProtected() || isOwnName(setup, *owner))
                setSystem(*item, true);
        } else {
            item->bundleID = e.baseId();
            const QString program = programs.value(e.file);
            QString optFolder;
            if (!program.isEmpty() && under(program, setup.optRoot)) {
                const QString rest = program.mid(setup.optRoot.size() + 1);
                optFolder = setup.optRoot + '/' + rest.section('/', 0, 0);
            }
            if (!program.isEmpty() && isAppImage(program)) {
                item->kind = AppKind::AppImage;
                item->path = program;
            } else if (!optFolder.isEmpty() && optFolder != program) {
                item->kind = AppKind::OptFolder;
                item->path = optFolder;
            } else {
                // An entry of its own (a user's launcher): removing it removes the entry.
                item->kind = AppKind::Path;
                item->path = realParent(e.file);
            }
            if (item->kind != AppKind::Path)
                item->companions = QStringList{realParent(e.file)} + linksInto(item->path, setup.linkFolders);
        }
        item->date = RelatedAppFilesScanner::creationDate(item->path);
        // Two entries starting one AppImage or /opt folder: one record, both entries go with it.
        if (item->kind == AppKind::AppImage || item->kind == AppKind::OptFolder) {
            const auto same = std::find_if(items.begin(), items.end(), [&](const AMAppItemPtr& other) {
                return other->kind == item->kind && other->path == item->path;
            });
            if (same != items.end()) {
                if (!(*same)->companions.contains(realParent(e.file)))
                    (*same)->companions << realParent(e.file);
                continue;
            }
        }
        items.append(item);
    }
    return items;
}

AMAppItemList widgets(const ScanSetup& setup)
{
    AMAppItemList items;
    QSet<FolderKey> seen;
    for (const QString& root : setup.widgetRoots)
        if (!root.isEmpty())
            walk(root, isWidgetFolder, items, seen);
    for (const auto& item : items)
        readWidgetMetadata(*item);
    markPackaged(items, setup);
    return items;
}

AMAppItemList plugins(const ScanSetup& setup)
{
    AMAppItemList items;
    QSet<FolderKey> seen;
    for (const QString& root : setup.pluginRoots)
        if (!root.isEmpty())
            walk(root, [](const QString& p) { return isPluginName(p); }, items, seen);
    markPackaged(items, setup);
    return items;
}

}  // namespace ApplicationScan
