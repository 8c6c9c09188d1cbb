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

// What an entry starts: the program as Exec names it once
// found, the same with its links resolved, and the arguments it is given.
struct Launch
{
    QString found;
    QString real;
    QStringList arguments;
};

Launch launchOf(const platform::DesktopEntry& e)
{
    Launch launch;
    const QStringList command = e.execCommand();
    if (!command.isEmpty())
        launch.arguments = command.mid(1);
    // What Exec starts is what the entry stands for; TryExec only decides
    // whether the entry is shown at all.
    QString program = command.value(0);
    if (!program.isEmpty() && !program.startsWith('/'))
        program = QStandardPaths::findExecutable(program);
    if (program.isEmpty())
        return launch;
    launch.found = QDir::cleanPath(program);
    const QString real = QFileInfo(program).canonicalFilePath();
    launch.real = real.isEmpty() ? launch.found : real;
    return launch;
}

// A launcher that hands its program something to open (a web app, a file,
// an address, a profile) stands for that launcher alone: removing it must
// never remove the browser or editor it runs.
bool opensSomethingElse(const QStringList& arguments)
{
    static const QStringList kAppOptions{QStringLiteral("--app"), QStringLiteral("--app-id"),
                                         QStringLiteral("-app"), QStringLiteral("--application-mode"),
                                         QStringLiteral("--ssb")};
    for (const QString& word : arguments) {
        if (word.startsWith('%'))
            continue;  // a field code: what the menu passes in
        if (!word.startsWith('-') || kAppOptions.contains(word.section('=', 0, 0)))
            return true;
    }
    return false;
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

// The folder that holds the program (the parent of its bin folder), below the
// /opt root: one vendor folder may hold several programs, each its own item.
// Empty when the program is not under the root or lies in it directly.
QString programFolder(const QString& program, const QString& optRoot)
{
    if (program.isEmpty() || !under(program, optRoot))
        return {};
    QString folder = QFileInfo(program).path();
    static const QStringList kToolFolders{QStringLiteral("bin"), QStringLiteral("sbin"), QStringLiteral("libexec")};
    const QString parent = QFileInfo(folder).path();
    if (kToolFolders.contains(QFileInfo(folder).fileName()) && under(parent, optRoot))
        folder = parent;
    return under(folder, optRoot) ? folder : QString();
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

// A folder of the user's own (where copies of system entries are made).
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

    // One question to dpkg for everything that may tell who installed an
    // entry's program: the entry, the system entry a user's copy hides, the
    // program (as named and resolved) and the /opt folder it would be removed as.
    QHash<QString, Launch> launches;    // entry file -> what it starts
    QHash<QString, QString> copies;     // a user's entry -> the system entry of the same ID it hides
    QStringList files;
    for (const auto& e : entries) {
        if (!e.flatpakId.isEmpty())
            continue;
        files << e.file;
        const Launch launch = launchOf(e);
        launches.insert(e.file, launch);
        if (!launch.real.isEmpty())
            files << launch.real << launch.found << programFolder(launch.real, setup.optRoot);
        if (isUserRoot(setup, e.root) && e.file.startsWith(e.root + '/')) {
            const QString rel = e.file.mid(e.root.size() + 1);
            for (const QString& root : setup.applicationRoots) {
                if (root == e.root || isUserRoot(setup, root) || !QFileInfo::exists(root + '/' + rel))
                    continue;
                copies.insert(e.file, root + '/' + rel);
                files << root + '/' + rel;
                break;
            }
        }
    }
    files.removeAll(QString());
    files.removeDuplicates();
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
        const Launch launch = launches.value(e.file);
        if (!launch.real.isEmpty())
            item->programs << launch.real;
        // Whoever listed it, a program a package installed is the package's:
        // the package manager removes it, never a folder removal behind its back.
        QString package = owners.value(e.file);
        if (package.isEmpty())
            package = owners.value(copies.value(e.file));
        const bool ownLauncher = opensSomethingElse(launch.arguments);
        if (package.isEmpty() && !ownLauncher && !launch.real.isEmpty())
            package = owners.value(launch.real, owners.value(launch.found));
        if (!e.flatpakId.isEmpty()) {
            item->kind = AppKind::Flatpak;
            item->bundleID = e.flatpakId;
            QString base = e.root;
            base.chop(QStringLiteral("/exports/share/applications").size());
            item->path = base + QStringLiteral("/app/") + e.flatpakId;
            item->flatpakUser = !userFlatpak.isEmpty() && base == userFlatpak;
            item->bundleVersion = metainfoRelease(item->path, e.flatpakId);
        } else if (!package.isEmpty()) {
            item->kind = AppKind::Package;
            item->bundleID = e.baseId();
            item->path = e.file;
            item->packageName = package;
            // An entry the package does not own (a user's copy) goes after the package.
            if (!owners.contains(e.file))
                item->companions << realParent(e.file);
            const PackageInfo info = infos.value(package);
            item->bundleVersion = info.version;
            item->knownBytes = info.installedBytes;
            item->hasKnownSize = info.installedBytes > 0;
            if (info.isProtected() || isOwnName(setup, package))
                setSystem(*item, true);
        } else {
            item->bundleID = e.baseId();
            const QString program = ownLauncher ? QString() : launch.real;
            const QString folder = programFolder(program, setup.optRoot);
            if (!program.isEmpty() && isAppImage(program)) {
                item->kind = AppKind::AppImage;
                item->path = program;
            } else if (!folder.isEmpty()) {
                item->kind = AppKind::OptFolder;
                // A folder holding files a package installed is never removed whole.
                item->path = owners.contains(folder) ? program : folder;
            } else {
                // An entry of its own (a user's launcher): removing it removes the entry.
                item->kind = AppKind::Path;
                item->path = realParent(e.file);
            }
            if (item->kind != AppKind::Path)
                item->companions << realParent(e.file);
        }
        // Two entries starting one AppImage or /opt folder: one record, both entries go with it.
        if (item->kind == AppKind::AppImage || item->kind == AppKind::OptFolder) {
            const auto same = std::find_if(items.begin(), items.end(), [&](const AMAppItemPtr& other) {
                return other->kind == item->kind && other->path == item->path;
            });
            if (same != items.end()) {
                for (const QString& companion : std::as_const(item->companions))
                    if (!(*same)->companions.contains(companion))
                        (*same)->companions << companion;
                for (const QString& program : std::as_const(item->programs))
                    if (!(*same)->programs.contains(program))
                        (*same)->programs << program;
                continue;
            }
        }
        items.append(item);
    }

    // A folder in which another listed program lives is never removed for
    // this one: the item shrinks to its own program file.
    for (const auto& item : std::as_const(items)) {
        if (item->kind != AppKind::OptFolder || item->programs.contains(item->path))
            continue;
        for (const Launch& other : std::as_const(launches)) {
            if (under(other.real, item->path) && !item->programs.contains(other.real)) {
                item->path = item->programs.value(0, item->path);
                break;
            }
        }
    }
    for (const auto& item : std::as_const(items)) {
        if (item->kind == AppKind::AppImage || item->kind == AppKind::OptFolder)
            item->companions += linksInto(item->path, setup.linkFolders);
        item->date = RelatedAppFilesScanner::creationDate(item->path);
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
