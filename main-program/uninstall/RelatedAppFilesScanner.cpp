#include "uninstall/RelatedAppFilesScanner.h"

#include "Comm/CommUti.h"
#include "Comm/NSStringFSRef.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// The folder's entries, in the order the listing gives; none when it is
// missing or unreadable.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                  QDir::Unsorted);
}

// A folder's path with its links resolved, so what is listed is what is
// later removed even if a link in the path is swapped.
QString realFolder(const QString& folder)
{
    const QString real = QFileInfo(folder).canonicalFilePath();
    return real.isEmpty() ? folder : real;
}

bool isUnder(const QString& path, const QString& folder)
{
    return !folder.isEmpty() && (path == folder || path.startsWith(folder + '/'));
}

// Folders and files the desktop and many programs share: a program whose
// name happens to be one of them ("Fonts", "Trash") does not own them, so
// they never start ticked.
bool isSharedName(const QString& name)
{
    static const QSet<QString> kShared{
        QStringLiteral("applications"), QStringLiteral("autostart"), QStringLiteral("backgrounds"),
        QStringLiteral("dconf"), QStringLiteral("desktop-directories"), QStringLiteral("environment.d"),
        QStringLiteral("flatpak"), QStringLiteral("fontconfig"), QStringLiteral("fonts"), QStringLiteral("gtk-2.0"),
        QStringLiteral("gtk-3.0"), QStringLiteral("gtk-4.0"), QStringLiteral("gvfs-metadata"), QStringLiteral("icons"),
        QStringLiteral("keyrings"), QStringLiteral("menus"), QStringLiteral("mime"), QStringLiteral("mimeapps.list"),
        QStringLiteral("pulse"), QStringLiteral("recently-used.xbel"), QStringLiteral("sounds"),
        QStringLiteral("systemd"), QStringLiteral("themes"), QStringLiteral("thumbnails"), QStringLiteral("trash"),
        QStringLiteral("user-dirs.dirs"), QStringLiteral("user-dirs.locale")};
    return kShared.contains(name.toLower());
}

// What the system itself needs in its folders, though no package owns it
// (maintainer scripts make it): the account databases and their backups,
// the machine's identity and mounts, and the package manager's own state.
bool isSystemNeeded(const QString& path, const RelatedRoots& roots)
{
    static const QSet<QString> kEtc{
        QStringLiteral("passwd"), QStringLiteral("shadow"), QStringLiteral("group"), QStringLiteral("gshadow"),
        QStringLiteral("subuid"), QStringLiteral("subgid"), QStringLiteral("hostname"), QStringLiteral("hosts"),
        QStringLiteral("fstab"), QStringLiteral("mtab"), QStringLiteral("crypttab"), QStringLiteral("machine-id"),
        QStringLiteral("resolv.conf"), QStringLiteral("localtime"), QStringLiteral("timezone"),
        QStringLiteral("adjtime"), QStringLiteral("shells"), QStringLiteral("sudoers"), QStringLiteral("sudoers.d"),
        QStringLiteral("login.defs"), QStringLiteral("nsswitch.conf"), QStringLiteral("ld.so.cache"),
        QStringLiteral("ld.so.conf"), QStringLiteral("ld.so.conf.d"), QStringLiteral("locale.gen"),
        QStringLiteral("default"), QStringLiteral("environment"), QStringLiteral("os-release"),
        QStringLiteral("alternatives"), QStringLiteral("apt"), QStringLiteral("dpkg"), QStringLiteral("pam.d"),
        QStringLiteral("security"), QStringLiteral("systemd"), QStringLiteral("ssl"), QStringLiteral("network"),
        QStringLiteral("init.d"), QStringLiteral("modules"), QStringLiteral("modprobe.d"), QStringLiteral("udev"),
        QStringLiteral("polkit-1"), QStringLiteral("dbus-1"), QStringLiteral("skel"), QStringLiteral("profile"),
        QStringLiteral("bash.bashrc"), QStringLiteral("kernel"), QStringLiteral("initramfs-tools")};
    static const QSet<QString> kVarLib{QStringLiteral("dpkg"), QStringLiteral("apt"), QStringLiteral("ucf"),
                                       QStringLiteral("systemd"), QStringLiteral("dbus"), QStringLiteral("polkit-1"),
                                       QStringLiteral("sudo"), QStringLiteral("pam"), QStringLiteral("misc"),
                                       QStringLiteral("initramfs-tools"), QStringLiteral("os-prober")};
    static const QSet<QString> kVarCache{QStringLiteral("apt"), QStringLiteral("debconf"), QStringLiteral("ldconfig"),
                                         QStringLiteral("man"), QStringLiteral("private")};
    static const QSet<QString> kVarLog{QStringLiteral("apt"), QStringLiteral("dpkg.log"), QStringLiteral("alternatives.log"),
                                       QStringLiteral("journal"), QStringLiteral("installer"), QStringLiteral("wtmp"),
                                       QStringLiteral("btmp"), QStringLiteral("lastlog"), QStringLiteral("faillog"),
                                       QStringLiteral("private")};
    const QFileInfo info(path);
    const QString folder = QDir::cleanPath(info.path());
    QString name = info.fileName();
    // "passwd-", "group.org", "shadow.dpkg-old": the backups are the databases too.
    while (name.endsWith('-'))
        name.chop(1);
    for (const char* suffix : {".dpkg-old", ".dpkg-dist", ".dpkg-new", ".dpkg-bak", ".ucf-old", ".ucf-dist", ".bak",
                               ".old", ".org", ".orig", ".save"})
        if (name.endsWith(QLatin1String(suffix)))
            name.chop(int(qstrlen(suffix)));
    auto in = [&](const QString& root) { return !root.isEmpty() && folder == QDir::cleanPath(root); };
    if (in(roots.etc))
        return kEtc.contains(name);
    if (in(roots.varLib))
        return kVarLib.contains(name);
    if (in(roots.varCache))
        return kVarCache.contains(name);
    if (in(roots.varLog))
        return kVarLog.contains(name);
    return false;
}

struct Finder
{
    AMAppGroup& group;
    const RelatedRoots& roots;
    const QStringList& otherPatterns;
    QStringList ownNames;
    QSet<QString> seen;
    QStringList untickedRoots;
    QStringList systemCandidates;  // listed from system folders; dropped when a package owns them
    QString homeRoot;

    // One folder, one pattern (AddPathIfExists).
    void addPathIfExists(const QString& folder, const QString& pattern)
    {
        if (folder.isEmpty())
            return;
        // Folders are listed as given (a link among the home's folders then
        // makes the removal fail instead of leading elsewhere).
        const QString real = folder;
        for (const QString& name : entriesOf(real)) {
            if (!RelatedAppFilesScanner::matches(name, pattern))
                continue;
            const QString path = real + '/' + name;
            // An entry that begins with both the name and the identifier is
            // listed once: a second record of it would be removed twice, the
            // second time failing (or, measured first, counted twice), and
            // unticking one copy would leave the other ticked.
            if (seen.contains(path))
                continue;
            seen.insert(path);
            // Never offered, ticked or not: one tick away from root removing it.
            if (isSystemNeeded(path, roots))
                continue;
            auto item = RelatedAppFilesScanner::aConstructItem(path, 0);
            // Only a name that is the program's own starts ticked: a longer
            // one may be another program's ("foo-beta"), and a link may lead
            // anywhere.
            item->defaultTicked = RelatedAppFilesScanner::isOwnName(name, ownNames)
                                  && !QFileInfo(path).isSymLink() && !claimedByOther(name, pattern)
                                  && !isSharedName(name);
            for (const QString& r : std::as_const(untickedRoots))
                if (isUnder(path, r))
                    item->defaultTicked = false;
            if (!isUnder(path, homeRoot))
                systemCandidates << path;
            group.append(item);
        }
    }

    // Another installed program's pattern that matches more of the name
    // (google-chrome-beta's for google-chrome) claims the entry.
    bool claimedByOther(const QString& name, const QString& pattern) const
    {
        const qsizetype own = QString(pattern).remove(' ').size();
        for (const QString& other : otherPatterns) {
            if (QString(other).remove(' ').size() > own && RelatedAppFilesScanner::isOwnName(name, {other}))
                return true;
        }
        return false;
    }

    void category(const QStringList& folders, const QStringList& patterns)
    {
        for (const QString& folder : folders)
            for (const QString& pattern : patterns)
                addPathIfExists(folder, pattern);
    }
};

}  // namespace

RelatedRoots RelatedRoots::forHome(const QString& home)
{
    RelatedRoots roots;
    roots.home = home;
    roots.downloads = home + QStringLiteral("/Downloads");
    QFile dirs(home + QStringLiteral("/.config/user-dirs.dirs"));
    if (dirs.open(QIODevice::ReadOnly)) {
        while (!dirs.atEnd()) {
            const QString line = QString::fromUtf8(dirs.readLine()).trimmed();
            if (!line.startsWith(QLatin1String("XDG_DOWNLOAD_DIR=")))
                continue;
            QString value = line.mid(17);
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            // Only "$HOME/..." or an absolute path are valid here; $HOME is
            // the invoking user's home, not the process's.
            if (value.startsWith(QLatin1String("$HOME")))
                roots.downloads = home + value.mid(5);
            else if (value.startsWith('/'))
                roots.downloads = value;
        }
    }
    return roots;
}

QStringList RelatedRoots::untickedFolders() const
{
    return {downloads, etc, varCache, varLib, varLog};
}

AMAppItemPtr RelatedAppFilesScanner::getAppItemWithFilePath(const QString& path, int appFlag)
{
    (void)appFlag;
    auto item = std::make_shared<AMAppItem>();
    item->path = path;
    item->name = QFileInfo(path).fileName();
    item->bundleID = QString();
    item->isSystemApp = false;
    item->isSystemAppStr = kNoText;
    item->date = creationDate(path);
    item->kind = AppKind::Path;
    return item;
}

AMAppItemPtr RelatedAppFilesScanner::constructItem(const QString& path, int appFlag)
{
    auto item = getAppItemWithFilePath(path, appFlag);
    item->size = kUnmeasuredSize;
    return item;
}

AMAppItemPtr RelatedAppFilesScanner::aConstructItem(const QString& path, int appFlag)
{
    auto item = getAppItemWithFilePath(path, appFlag);
    item->size = getFileSizeItem(path);
    item->bIsGetSize = true;
    return item;
}

QString RelatedAppFilesScanner::getFileSizeItem(const QString& path)
{
    return sizeText(CommUti::sizeOfFileRef(fsref(path)));
}

QString RelatedAppFilesScanner::sizeText(uint64_t bytes)
{
    return bytes < 1000 ? QStringLiteral("%1 byte").arg(bytes) : CommUti::convertVolSpace(bytes);
}

uint64_t RelatedAppFilesScanner::bytesOf(const QString& text)
{
    if (text.endsWith(QLatin1String(" byte")))
        return text.chopped(5).trimmed().toULongLong();
    return CommUti::volSpaceFromString(text);
}

QDateTime RelatedAppFilesScanner::creationDate(const QString& path)
{
    struct statx sx{};
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_CTIME, &sx)
        != 0)
        return {};
    const auto& t = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_ctime;
    return QDateTime::fromSecsSinceEpoch(t.tv_sec);
}

QStringList RelatedAppFilesScanner::patternsFor(const AMAppItem& item)
{
    const QString name = !item.name.isEmpty() ? item.name : item.executable;
    if (name.isEmpty())
        return {};
    const QString id = item.bundleID;
    if (id.isEmpty() || id == QLatin1String(" "))
        return {};
    return {name, id};
}

bool RelatedAppFilesScanner::matches(const QString& entryName, const QString& pattern)
{
    const QString lower = entryName.toLower();
    const QString t = pattern.toLower();
    const QString t2 = QString(t).remove(' ');
    // A pattern of nothing but spaces would match every entry.
    if (t2.isEmpty())
        return false;
    return lower.startsWith(t) || lower.startsWith(t2);
}

bool RelatedAppFilesScanner::isOwnName(const QString& entryName, const QStringList& names)
{
    const QString lower = entryName.toLower();
    for (const QString& name : names) {
        const QString t = name.toLower();
        if (!QString(t).remove(' ').isEmpty() && (lower == t || lower == QString(t).remove(' ')))
            return true;
    }
    return false;
}

namespace {

// The group of one item, without asking who owns its system matches: those
// are appended to `systemCandidates` for one question about every group.
AMAppGroup findRelated(const AMAppItemPtr& item, const RelatedRoots& roots, const QStringList& otherPatterns,
                       QStringList& systemCandidates)
{
    AMAppGroup group{item};
    const QStringList patterns = RelatedAppFilesScanner::patternsFor(*item);
    if (patterns.isEmpty())
        return group;
    // The home itself may lie behind a link (/home -> /data/home); its folders are taken as they are.
    const QString home = roots.home.isEmpty() ? QString() : realFolder(roots.home);
    QStringList ownNames = patterns;
    if (!item->executable.isEmpty())
        ownNames << item->executable;
    Finder finder{group, roots, otherPatterns, ownNames, {}, roots.untickedFolders(), {}, home};
    finder.seen.insert(item->path);
    for (const QString& companion : std::as_const(item->companions))
        finder.seen.insert(companion);
    const bool withHome = !home.isEmpty();
    auto userFolder = [&](const char* rel) { return withHome ? home + QLatin1String(rel) : QString(); };
    finder.category({userFolder("/.config"), roots.etc}, patterns);                 // preferences
    finder.category({userFolder("/.cache"), roots.varCache}, patterns);             // caches
    finder.category({userFolder("/.local/state"), roots.varLog}, patterns);         // logs
    finder.category({userFolder("/.config/autostart")}, patterns);                  // saved state
    finder.category({userFolder("/.local/share"), roots.varLib}, patterns);         // support files
    finder.category({withHome ? roots.downloads : QString()}, patterns);            // downloads
    finder.category({userFolder("/.var/app")}, patterns);                           // Flatpak data
    systemCandidates += finder.systemCandidates;
    return group;
}

}  // namespace

AMAppGroup RelatedAppFilesScanner::relatedFilesToApplication(const AMAppItemPtr& item, const RelatedRoots& roots,
                                                             const QStringList& otherPatterns)
{
    return relatedFilesToApplications({item}, roots, otherPatterns).constFirst();
}

QList<AMAppGroup> RelatedAppFilesScanner::relatedFilesToApplications(const AMAppItemList& items,
                                                                     const RelatedRoots& roots,
                                                                     const QStringList& otherPatterns)
{
    QList<AMAppGroup> groups;
    QStringList systemCandidates;
    for (const auto& item : items)
        groups << findRelated(item, roots, otherPatterns, systemCandidates);
    // What a package owns in the system folders is the package manager's.
    // dpkg reads its whole file database for each question: one for all.
    if (!systemCandidates.isEmpty()) {
        systemCandidates.removeDuplicates();
        const auto owners = packageOwners(systemCandidates, roots.tools);
        for (AMAppGroup& group : groups)
            group.erase(std::remove_if(group.begin() + 1, group.end(),
                                       [&](const AMAppItemPtr& r) { return owners.contains(r->path); }),
                        group.end());
    }
    return groups;
}
