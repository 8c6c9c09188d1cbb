#include "inter/BrowserData.h"

#include "Comm/CommUti.h"
#include "inter/FirefoxProfile.h"
#include "inter/ProfileLock.h"
#include "inter/RunningBrowsers.h"
#include "inter/ToGetDB.h"
#include "platform/FileSystemUser.h"
#include "platform/FolderSize.h"
#include "platform/InvokingUser.h"
#include "platform/Log.h"
#include "platform/RemoveTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>

#include <cerrno>

const QString BrowserData::kFailedText = QStringLiteral("Failed");
const QString BrowserData::kUnreadableText = QStringLiteral("Unreadable");
const QString BrowserData::kNoProfileText = QStringLiteral("No profile");

namespace {

const QString kChrome = QStringLiteral("Google Chrome");
const QString kFirefox = QStringLiteral("Firefox");
const QString kOpera = QStringLiteral("Opera");
const QString kSafari = QStringLiteral("Safari");

const QString kSession = QStringLiteral("Session");
const QString kPassword = QStringLiteral("Save Password");
const QString kDownloads = QStringLiteral("Download History");
const QString kHistory = QStringLiteral("Browsing History");
const QString kCookies = QStringLiteral("Cookies");
const QString kCaches = QStringLiteral("Caches");

const QStringList kCompanions{QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")};

// Firefox's files, inside its profile.
const QStringList kFirefoxCookieFiles{QStringLiteral("cookies.sqlite")};
const QStringList kFirefoxLoginFiles{QStringLiteral("logins.json"), QStringLiteral("logins-backup.json")};
const QStringList kFirefoxSessionFiles{QStringLiteral("sessionstore.jsonlz4"), QStringLiteral("sessionstore-backups"),
                                       QStringLiteral("sessionstore.js")};

// Which browser's rules a category follows: the first word its browser's
// name holds, in the order Google Chrome, Firefox, Opera, Safari.
QString kindOf(const BrowerObj& category)
{
    const BrowerObj* browser = category.parObj;
    if (!browser)
        return {};
    for (const QString& word : {kChrome, kFirefox, kOpera, kSafari})
        if (browser->name.contains(word))
            return word;
    return {};
}

// Whether this program has a clean for the category at all.
bool hasClean(const QString& kind, const QString& name)
{
    if (kind == kChrome)
        return true;
    if (kind == kFirefox || kind == kOpera)
        return name == kCaches || name == kCookies || name == kHistory || name == kDownloads || name == kPassword
               || name == kSession;
    return false;
}

// What a cleaned row reads: a count, or a category that ran statements,
// is "0 Item"; a size is "0 byte".
bool cleanedAsCount(const QString& kind, const QString& name)
{
    return name == kHistory || name == kDownloads || name == kPassword || (kind == kChrome && name == kCookies);
}

bool exists(const QString& path)
{
    struct stat st{};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QStringList inFolder(const QString& folder, const QStringList& names)
{
    QStringList paths;
    for (const QString& name : names)
        paths << QDir(folder).filePath(name);
    return paths;
}

// A file with the companions SQLite keeps beside it.
int64_t sizeWithCompanions(const QString& path)
{
    int64_t total = BrowserData::fileSizeWithPath(path);
    for (const QString& suffix : kCompanions)
        total += BrowserData::fileSizeWithPath(path + suffix);
    return total;
}

}  // namespace

QString BrowserUser::configFolder() const
{
    return configHome.isEmpty() ? QDir(home).filePath(QStringLiteral(".config")) : configHome;
}

BrowserUser BrowserUser::invoking()
{
    const platform::InvokingUser u = platform::invokingUser();
    BrowserUser user{u.uid, u.gid, u.home, {}};
    // Only a folder of the user's own home: never root's, whose environment
    // this may be.
    const QString xdg = QDir::cleanPath(qEnvironmentVariable("XDG_CONFIG_HOME"));
    if (!u.home.isEmpty() && QDir::isAbsolutePath(xdg) && xdg.startsWith(QDir::cleanPath(u.home) + '/'))
        user.configHome = xdg;
    return user;
}

BrowserData::BrowserData(BrowserUser user) : m_user(std::move(user)), m_db(ToGetDB::returnToGetDB()) {}

QString BrowserData::pathOf(const BrowerObj& category) const
{
    // No home, no path: nothing is ever built from an empty name.
    if (m_user.home.isEmpty() || category.urlStr.count(QStringLiteral("%@")) != 1)
        return {};
    return QString(category.urlStr).replace(QStringLiteral("%@"), m_user.home);
}

int64_t BrowserData::fileSizeWithPath(const QString& path)
{
    if (path.isEmpty())
        return 0;
    return int64_t(platform::folderSize(path));
}

std::optional<QStringList> BrowserData::getAllFileWithPath(const QString& path)
{
    if (path.trimmed().isEmpty())
        return std::nullopt;
    QDir dir(path);
    if (!dir.exists() || !dir.isReadable())
        return std::nullopt;
    return dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

QString BrowserData::getDefaultWithPath(const QString& folder, const QString& installDir) const
{
    return firefoxDefaultProfile(folder, installDir);
}

QString BrowserData::installDirOf(const BrowerObj& category)
{
    return category.parObj ? category.parObj->installDir : category.installDir;
}

bool BrowserData::deleteFileWithPath(const QString& path)
{
    if (path.isEmpty())
        return true;
    struct stat st{};
    const bool isFile = ::lstat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
    bool gone = platform::removeTree(path);
    if (isFile || !exists(path))
        for (const QString& suffix : kCompanions)
            gone = platform::removeTree(path + suffix) && gone;
    platform::log(QStringLiteral("---%1").arg(path));
    if (!gone)
        platform::log(QStringLiteral("cannot remove %1 completely").arg(path));
    return gone;
}

QString BrowserData::countText(qint64 count)
{
    return count == 0 ? QStringLiteral("0 Item") : QStringLiteral("%1 Items").arg(count);
}

QString BrowserData::sizeText(int64_t bytes) { return CommUti::longlongDiskSize(bytes); }

QStringList BrowserData::cookieDatabases(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    return {path, QDir(info.path()).filePath(QStringLiteral("Network/") + info.fileName())};
}

QStringList BrowserData::chromiumSiteData(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QDir profile = QFileInfo(path).dir();
    QStringList folders;
    for (const char* name : {"Local Storage", "IndexedDB", "Service Worker", "Session Storage", "WebStorage", "File System"})
        folders << profile.filePath(QString::fromLatin1(name));
    return folders;
}

qint64 BrowserData::siteDataEntries(const QStringList& folders)
{
    qint64 n = 0;
    for (const QString& folder : folders)
        if (const auto names = getAllFileWithPath(folder))
            n += names->size();
    return n;
}

QStringList BrowserData::chromiumVisitDatabases(const QString& path, bool userDataAbove)
{
    if (path.isEmpty())
        return {};
    const QDir profile = QFileInfo(path).dir();
    QStringList dbs;
    for (const char* name : {"Top Sites", "Favicons", "Shortcuts", "Network Action Predictor"})
        dbs << profile.filePath(QString::fromLatin1(name));
    // The segmentation databases are kept once for all profiles, in the
    // folder above them (Opera has no profile folder of its own).
    dbs << profile.filePath(QStringLiteral("segmentation_platform/ukm_db"));
    if (userDataAbove)
        dbs << QDir::cleanPath(profile.filePath(QStringLiteral("../segmentation_platform/ukm_db")));
    return dbs;
}

QStringList BrowserData::chromiumVisitFiles(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QDir profile = QFileInfo(path).dir();
    return {profile.filePath(QStringLiteral("Visited Links")), profile.filePath(QStringLiteral("History Provider Cache"))};
}

QStringList BrowserData::firefoxSiteData(const QString& profile)
{
    QStringList paths;
    if (profile.isEmpty())
        return paths;
    const QDir storage(QDir(profile).filePath(QStringLiteral("storage")));
    for (const char* area : {"default", "temporary", "permanent"}) {
        const QString folder = storage.filePath(QString::fromLatin1(area));
        const auto names = getAllFileWithPath(folder);
        if (!names)
            continue;
        for (const QString& name : *names) {
            // The browser's own pages and its extensions keep theirs here too.
            if (name == QLatin1String("chrome") || name.startsWith(QLatin1String("moz-extension")))
                continue;
            paths << QDir(folder).filePath(name);
        }
    }
    paths << QDir(profile).filePath(QStringLiteral("webappsstore.sqlite"))
          << storage.filePath(QStringLiteral("ls-archive.sqlite"));
    return paths;
}

QStringList BrowserData::entriesContaining(const QString& folder, const QString& part, Qt::CaseSensitivity cs)
{
    QStringList paths;
    if (folder.isEmpty())
        return paths;
    const auto names = getAllFileWithPath(folder);
    if (!names)
        return paths;
    for (const QString& name : *names)
        if (name.contains(part, cs))
            paths << folder + '/' + name;
    return paths;
}

BrowserData::Result BrowserData::removeAll(const QStringList& paths) const
{
    Result r;
    for (const QString& path : paths) {
        r.found = r.found || exists(path);
        if (!deleteFileWithPath(path))
            r.fail(QStringLiteral("%1 could not be removed").arg(QDir(m_user.home).relativeFilePath(path)));
    }
    return r;
}

QString BrowserData::firefoxRootFor(const BrowerObj& category) const
{
    QString legacy = category.name != kCaches ? pathOf(category) : QString();
    // The cache area has no profiles.ini of its own: the profile folder is
    // named by the other categories.
    if (category.name == kCaches && category.parObj)
        for (const BrowerObjPtr& sibling : category.parObj->chrArr)
            if (sibling->name != kCaches && !pathOf(*sibling).isEmpty()) {
                legacy = pathOf(*sibling);
                break;
            }
    if (legacy.isEmpty())
        return {};
    return firefoxProfileRoot(legacy, QDir(m_user.configFolder()).filePath(QStringLiteral("mozilla/firefox")));
}

QString BrowserData::noFirefoxProfile(const BrowerObj& category) const
{
    const QString root = QDir::cleanPath(firefoxRootFor(category));
    const QString shown = root.startsWith(QDir::cleanPath(m_user.home) + '/')
                              ? QStringLiteral("~/") + QDir(m_user.home).relativeFilePath(root)
                              : root;
    if (!QFileInfo::exists(QDir(root).filePath(QStringLiteral("profiles.ini"))))
        return QStringLiteral("no profile: there is no %1/profiles.ini").arg(shown);
    const QString install = installDirOf(category);
    if (install.isEmpty())
        return QStringLiteral("no profile: its installation folder cannot be found");
    return QStringLiteral("no profile: %1/profiles.ini names none that exists for %2").arg(shown, install);
}

QString BrowserData::firefoxProfileFor(const BrowerObj& category) const
{
    const QString root = firefoxRootFor(category);
    const QString profile = getDefaultWithPath(root, installDirOf(category));
    if (category.name == kCaches)
        return firefoxCacheProfile(root, profile, pathOf(category));
    return profile;
}

QStringList BrowserData::targetsOf(const BrowerObj& category) const
{
    if (kindOf(category) == kFirefox) {
        const QString profile = getDefaultWithPath(firefoxRootFor(category), installDirOf(category));
        QStringList targets{profile};
        if (category.name == kCaches)
            targets << firefoxProfileFor(category);
        return targets;
    }
    const QString p = pathOf(category);
    if (category.name == kCookies)
        return cookieDatabases(p) + chromiumSiteData(p);
    if (category.name == kHistory)
        return QStringList{p} + chromiumVisitDatabases(p, kindOf(category) == kChrome) + chromiumVisitFiles(p);
    if (category.name == kDownloads)
        return {p, QFileInfo(p).dir().filePath(QStringLiteral("shared_proto_db"))};
    return {p};
}

QString BrowserData::refusalFor(const QString& path) const
{
    if (path.isEmpty())
        return {};
    // A path not made yet is judged by the folder it would be made in.
    QString existing = QDir::cleanPath(path);
    struct stat st{};
    while (::lstat(QFile::encodeName(existing).constData(), &st) != 0) {
        if (errno != ENOENT || existing == QLatin1String("/"))
            return QStringLiteral("%1 cannot be read").arg(path);
        existing = QFileInfo(existing).path();
    }
    // Links are followed to where they lead: that is what would change.
    const QString real = QFileInfo(existing).canonicalFilePath();
    const QString home = QFileInfo(m_user.home).canonicalFilePath();
    if (real.isEmpty() || home.isEmpty() || (real != home && !real.startsWith(home + '/')))
        return QStringLiteral("%1 is outside your home").arg(path);
    if (::stat(QFile::encodeName(real).constData(), &st) != 0 || st.st_uid != m_user.uid)
        return QStringLiteral("%1 does not belong to you").arg(path);
    return {};
}

QString BrowserData::refusalFor(const BrowerObj& category) const
{
    for (const QString& target : targetsOf(category)) {
        const QString why = refusalFor(target);
        if (!why.isEmpty())
            return why;
    }
    return {};
}

bool BrowserData::browserHoldsProfile(const BrowerObj& category) const
{
    const BrowerObj* browser = category.parObj;
    const QString kind = kindOf(category);
    if (kind == kFirefox)
        return firefoxProfileLocked(getDefaultWithPath(firefoxRootFor(category), installDirOf(category)), m_user.uid,
                                    RunningBrowsers::processNamesFor(*browser));
    if (kind == kChrome || kind == kOpera) {
        for (const BrowerObjPtr& sibling : browser->chrArr)
            if (chromiumProfileLocked(pathOf(*sibling), m_user.home))
                return true;
    }
    return false;
}

QString BrowserData::finishMeasure(BrowerObj& category, const QString& text, const Result& result)
{
    category.outcome = result.ok ? BrowerObj::Outcome::Measured : BrowerObj::Outcome::Unreadable;
    category.failReason = result.error;
    return result.ok ? text : kUnreadableText;
}

// ---- measures

QString BrowserData::getGoogleFileSizeWithBrower(BrowerObj& category)
{
    const QString p = pathOf(category);
    Result r;
    auto counted = [&](const DbCount& c) {
        if (!c.ok)
            r.fail(c.error);
        return c.count;
    };
    QString text;
    if (category.name == kSession) {
        int64_t total = 0;
        for (const QString& entry : entriesContaining(p, kSession, Qt::CaseSensitive))
            total += fileSizeWithPath(entry);
        text = sizeText(total);
    } else if (category.name == kPassword) {
        text = countText(counted(m_db.getGooglePasswordItems(p)));
    } else if (category.name == kDownloads) {
        text = countText(counted(m_db.getGoogleDownloadItems(p)));
    } else if (category.name == kHistory) {
        text = countText(counted(m_db.getGoogleHistoryItems(p)));
    } else if (category.name == kCookies) {
        qint64 total = 0;
        for (const QString& db : cookieDatabases(p))
            total += counted(m_db.getGoogleCookiesItems(db));
        // And what the sites stored for themselves.
        text = countText(total + siteDataEntries(chromiumSiteData(p)));
    } else {
        text = sizeText(fileSizeWithPath(p));
    }
    platform::log(QString::fromLatin1(category.name == kCookies ? "HISTORY---%1" : "---%1").arg(p));
    return finishMeasure(category, text, r);
}

QString BrowserData::getOpearSizeWithBrower(BrowerObj& category)
{
    if (category.name == kSession || category.name == kPassword || category.name == kDownloads
        || category.name == kHistory)
        return getGoogleFileSizeWithBrower(category);
    if (category.name == kCookies) {
        int64_t total = 0;
        for (const QString& db : cookieDatabases(pathOf(category)))
            total += sizeWithCompanions(db);
        for (const QString& folder : chromiumSiteData(pathOf(category)))
            total += fileSizeWithPath(folder);
        return finishMeasure(category, sizeText(total), {});
    }
    if (category.name == kCaches)
        return finishMeasure(category, sizeText(fileSizeWithPath(pathOf(category))), {});
    return finishMeasure(category, QString(), {});
}

QString BrowserData::getFirefoxSizeWithBrower(BrowerObj& category)
{
    const QString& n = category.name;
    const bool known = n == kCaches || n == kCookies || n == kHistory || n == kDownloads || n == kPassword
                       || n == kSession;
    if (!known)
        return finishMeasure(category, QString(), {});
    const QString f = firefoxProfileFor(category);
    if (f.isEmpty()) {
        category.outcome = BrowerObj::Outcome::NoProfile;
        category.failReason = noFirefoxProfile(category);
        return kNoProfileText;
    }

    Result r;
    QString text;
    if (n == kCaches) {
        int64_t total = 0;
        for (const QString& entry : entriesContaining(f, QStringLiteral("cache"), Qt::CaseSensitive))
            total += fileSizeWithPath(entry);
        text = sizeText(total);
    } else if (n == kCookies) {
        int64_t total = 0;
        for (const QString& file : inFolder(f, kFirefoxCookieFiles) + firefoxSiteData(f))
            total += sizeWithCompanions(file);
        text = sizeText(total);
    } else if (n == kSession) {
        int64_t total = 0;
        for (const QString& file : inFolder(f, kFirefoxSessionFiles))
            total += fileSizeWithPath(file);
        text = sizeText(total);
    } else if (n == kHistory || n == kDownloads) {
        // Both are the size of the places database they are kept in.
        text = sizeText(sizeWithCompanions(QDir(f).filePath(QStringLiteral("places.sqlite"))));
    } else {  // saved passwords: the entries of logins.json
        QFile file(QDir(f).filePath(QStringLiteral("logins.json")));
        qint64 logins = 0;
        if (file.exists()) {
            QJsonParseError error{};
            const QJsonDocument doc =
                file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll(), &error) : QJsonDocument();
            if (!doc.isObject())
                r.fail(QStringLiteral("logins.json cannot be read"));
            else
                logins = doc.object().value(QStringLiteral("logins")).toArray().size();
        }
        text = countText(logins);
    }
    return finishMeasure(category, text, r);
}

// Safari has no Linux version: its categories are listed by EraserHistory.plist
// but no Safari is ever found, so nothing is measured or removed for it.
QString BrowserData::getSafariSizeWithBrower(BrowerObj& category) { return finishMeasure(category, QString(), {}); }

// ---- cleans

BrowserData::Result BrowserData::googleClean(BrowerObj& category)
{
    const QString p = pathOf(category);
    Result r;
    auto ran = [&](const DbResult& d) {
        r.found = r.found || d.found;
        if (!d.ok)
            r.fail(d.error);
    };
    if (category.name == kSession) {
        r = removeAll(entriesContaining(p, kSession, Qt::CaseSensitive));
    } else if (category.name == kPassword) {
        ran(m_db.toDeletePasswordWith(p));
    } else if (category.name == kDownloads) {
        ran(m_db.toDeleteDownloadWith(p));
        // The download database keeps each download's addresses again; the
        // history database is what the browser reads its list from.
        r.merge(removeAll({QFileInfo(p).dir().filePath(QStringLiteral("shared_proto_db"))}));
    } else if (category.name == kHistory) {
        ran(m_db.toDeleteHistoryWith(p));
        // Every other database naming visited pages (new-tab tiles, icons,
        // address-bar shortcuts and predictions, segmentation), and the files
        // that only cache what the history holds.
        for (const QString& db : chromiumVisitDatabases(p, kindOf(category) == kChrome))
            ran(m_db.toEmptyTablesWith(db));
        r.merge(removeAll(chromiumVisitFiles(p)));
    } else if (category.name == kCookies) {
        for (const QString& db : cookieDatabases(p))
            ran(m_db.toDeleteGoogleCookiesWith(db));
        r.merge(removeAll(chromiumSiteData(p)));
    } else {
        r = removeAll({p});
    }
    return r;
}

BrowserData::Result BrowserData::operaClean(BrowerObj& category)
{
    if (category.name == kSession || category.name == kPassword || category.name == kDownloads
        || category.name == kHistory)
        return googleClean(category);
    if (category.name == kCookies)
        return removeAll(cookieDatabases(pathOf(category)) + chromiumSiteData(pathOf(category)));
    if (category.name == kCaches)
        return removeAll({pathOf(category)});
    return {};
}

BrowserData::Result BrowserData::firefoxClean(BrowerObj& category)
{
    const QString f = firefoxProfileFor(category);
    Result r;
    if (f.isEmpty()) {
        r.noProfile = noFirefoxProfile(category);
        return r;
    }
    const QString& n = category.name;
    const QString places = QDir(f).filePath(QStringLiteral("places.sqlite"));
    if (n == kCaches) {
        r = removeAll(entriesContaining(f, QStringLiteral("cache"), Qt::CaseSensitive));
    } else if (n == kCookies) {
        r = removeAll(inFolder(f, kFirefoxCookieFiles) + firefoxSiteData(f));
    } else if (n == kSession) {
        r = removeAll(inFolder(f, kFirefoxSessionFiles));
    } else if (n == kPassword) {
        // The saved logins only; key4.db holds the key for other data too.
        r = removeAll(inFolder(f, kFirefoxLoginFiles));
    } else if (n == kHistory || n == kDownloads) {
        const DbResult d = n == kHistory ? m_db.firefoxDeleteHistoryWith(places) : m_db.firefoxDeleteDownloadWith(places);
        r.found = d.found;
        if (!d.ok)
            r.fail(d.error);
        // The icons database names every page that had an icon, query
        // strings included: its pages follow the places left.
        if (d.ok) {
            const DbResult icons =
                m_db.firefoxDeleteFaviconsWith(QDir(f).filePath(QStringLiteral("favicons.sqlite")), places);
            if (!icons.ok)
                r.fail(icons.error);
        }
    }
    return r;
}

bool BrowserData::deleteGoogleWithBrower(BrowerObj& category)
{
    const Result r = googleClean(category);
    category.failReason = r.error;
    return r.ok;
}

bool BrowserData::deleteOpearWithBrower(BrowerObj& category)
{
    const Result r = operaClean(category);
    category.failReason = r.error;
    return r.ok;
}

bool BrowserData::deleteFirefoxWithBrower(BrowerObj& category)
{
    const Result r = firefoxClean(category);
    category.failReason = r.error;
    return r.ok;
}

bool BrowserData::deleteSafariWithBrower(BrowerObj& category)
{
    category.failReason.clear();
    return true;
}

// ---- dispatch

QString BrowserData::measureWith(BrowerObj& category)
{
    const QString kind = kindOf(category);
    if (kind == kChrome)
        return getGoogleFileSizeWithBrower(category);
    if (kind == kFirefox)
        return getFirefoxSizeWithBrower(category);
    if (kind == kOpera)
        return getOpearSizeWithBrower(category);
    if (kind == kSafari) {
        category.isSelect = 0;
        return getSafariSizeWithBrower(category);
    }
    return finishMeasure(category, QString(), {});
}

BrowserData::Result BrowserData::cleanWith(BrowerObj& category)
{
    const QString kind = kindOf(category);
    if (kind == kChrome)
        return googleClean(category);
    if (kind == kFirefox)
        return firefoxClean(category);
    if (kind == kOpera)
        return operaClean(category);
    return {};
}

void BrowserData::measure(BrowerObj& category)
{
    platform::FileSystemUser as(m_user.uid, m_user.gid);
    if (!as.ok()) {
        category.size = kUnreadableText;
        category.outcome = BrowerObj::Outcome::Unreadable;
        category.failReason = QStringLiteral("cannot act as the user");
        return;
    }
    const QString refused = refusalFor(category);
    if (!refused.isEmpty()) {
        platform::log(QStringLiteral("not measured: %1").arg(refused));
        category.size = kUnreadableText;
        category.outcome = BrowerObj::Outcome::Unreadable;
        category.failReason = refused;
        return;
    }
    category.size = measureWith(category);
}

void BrowserData::clean(BrowerObj& category)
{
    category.isSelect = 0;
    const QString kind = kindOf(category);
    if (!hasClean(kind, category.name)) {
        // The row keeps its text and is named as not cleaned.
        category.outcome = BrowerObj::Outcome::Untouched;
        category.failReason = QStringLiteral("this program does not clean it");
        return;
    }
    platform::FileSystemUser as(m_user.uid, m_user.gid);
    Result r;
    if (!as.ok())
        r.fail(QStringLiteral("cannot act as the user"));
    if (r.ok) {
        const QString refused = refusalFor(category);
        if (!refused.isEmpty())
            r.fail(refused);
    }
    if (r.ok && browserHoldsProfile(category))
        r.fail(QStringLiteral("the browser is still running"));
    if (r.ok)
        r = cleanWith(category);

    if (!r.ok) {
        platform::log(QStringLiteral("%1 %2: not cleaned: %3")
                          .arg(category.parObj ? category.parObj->name : QString(), category.name, r.error));
        category.size = kFailedText;
        category.outcome = BrowerObj::Outcome::Failed;
        category.failReason = r.error;
        return;
    }
    if (!r.noProfile.isEmpty()) {
        category.size = kNoProfileText;
        category.outcome = BrowerObj::Outcome::NoProfile;
        category.failReason = r.noProfile;
        return;
    }
    category.size = cleanedAsCount(kind, category.name) ? countText(0) : sizeText(0);
    category.outcome = r.found ? BrowerObj::Outcome::Cleaned : BrowerObj::Outcome::NothingFound;
    category.failReason = r.found ? QString() : QStringLiteral("nothing found to clean");
}
