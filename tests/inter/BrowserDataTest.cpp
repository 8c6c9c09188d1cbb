#include "BrowserFixtures.h"

#include "inter/BrowserData.h"
#include "inter/BrowserTree.h"
#include "inter/FirefoxProfile.h"
#include "inter/ToGetDB.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fixture;

namespace {

uid_t ownerOf(const QString& path)
{
    struct stat st{};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_uid : uid_t(-1);
}

void untickAllBut(const BrowerObjPtr& browser, const QStringList& keep)
{
    for (const BrowerObjPtr& c : browser->chrArr)
        c->isSelect = keep.contains(c->name) ? 1 : 0;
}

void cleanTicked(BrowserData& data, const BrowerObjPtr& browser)
{
    for (const BrowerObjPtr& c : browser->chrArr)
        if (c->isSelect)
            data.clean(*c);
}

void expectHealthy(const QString& db)
{
    EXPECT_EQ(text(db, "PRAGMA integrity_check"), "ok") << db.toStdString();
}

}  // namespace

TEST(BrowserData, ChromeCountsMatchTheRowsOfTheDefaultProfile)
{
    Home h;
    makeChrome(h, 7);
    chownHome(h);
    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);
    EXPECT_EQ(categoryOf(chrome, "Browsing History")->size, "7 Items");
    EXPECT_EQ(categoryOf(chrome, "Download History")->size, "2 Items");
    EXPECT_EQ(categoryOf(chrome, "Cookies")->size, "3 Items");
    // One saved login is "1 Items": only zero takes the singular.
    EXPECT_EQ(categoryOf(chrome, "Save Password")->size, "1 Items");
    EXPECT_EQ(categoryOf(chrome, "Session")->size, BrowserData::sizeText(3048));
    EXPECT_EQ(categoryOf(chrome, "Caches")->size, BrowserData::sizeText(4096));
}

TEST(BrowserData, ChromeCleanEmptiesTickedTablesOnlyAndLeavesNoTrace)
{
    Home h;
    makeChrome(h);
    chownHome(h);
    const QString def = h.chromeDir() + "/Default";
    const QString other = h.chromeDir() + "/Profile 1";
    const QByteArray loginBefore = TempTree::read(def + "/Login Data");
    const QByteArray webDataBefore = TempTree::read(def + "/Web Data");
    const QString otherBefore = dump(other + "/History") + dump(other + "/Login Data") + dump(other + "/Network/Cookies");

    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);
    untickAllBut(chrome, {"Browsing History", "Cookies", "Session"});
    cleanTicked(data, chrome);

    const QString history = def + "/History";
    for (const char* table : {"urls", "visits", "visit_source", "keyword_search_terms", "segments", "segment_usage"})
        EXPECT_EQ(scalar(history, QStringLiteral("SELECT count(*) FROM %1").arg(table)), 0) << table;
    // Downloads share the database but were not ticked.
    EXPECT_EQ(scalar(history, "SELECT count(*) FROM downloads"), 2);
    EXPECT_EQ(scalar(history, "SELECT count(*) FROM downloads_url_chains"), 2);
    EXPECT_EQ(scalar(history, "SELECT count(*) FROM meta"), 1);
    EXPECT_EQ(scalar(def + "/Network/Cookies", "SELECT count(*) FROM cookies"), 0);
    EXPECT_FALSE(QFileInfo::exists(def + "/Sessions/Session_13345"));
    EXPECT_FALSE(QFileInfo::exists(def + "/Current Session"));
    EXPECT_TRUE(QFileInfo::exists(def + "/Bookmarks"));

    EXPECT_EQ(TempTree::read(def + "/Login Data"), loginBefore);
    EXPECT_EQ(TempTree::read(def + "/Web Data"), webDataBefore);
    EXPECT_EQ(dump(other + "/History") + dump(other + "/Login Data") + dump(other + "/Network/Cookies"), otherBefore);

    for (const QString& db : {history, def + "/Network/Cookies"}) {
        expectHealthy(db);
        EXPECT_EQ(ownerOf(db), testUid()) << db.toStdString();
    }
    for (const char* what : {"chrome-history", "chrome-search", "chrome-cookie"})
        EXPECT_FALSE(readableAnywhere(history, marker(what)) || readableAnywhere(def + "/Network/Cookies", marker(what)))
            << what;
    EXPECT_TRUE(readableAnywhere(history, marker("chrome-download")));

    EXPECT_EQ(categoryOf(chrome, "Browsing History")->size, "0 Item");
    EXPECT_EQ(categoryOf(chrome, "Cookies")->size, "0 Item");
    EXPECT_EQ(categoryOf(chrome, "Session")->size, "0 byte");
    EXPECT_EQ(categoryOf(chrome, "Browsing History")->outcome, BrowerObj::Outcome::Cleaned);
    EXPECT_EQ(categoryOf(chrome, "Browsing History")->isSelect, 0);
}

TEST(BrowserData, ChromePasswordsAndDownloadsHitTheirOwnTables)
{
    Home h;
    makeChrome(h);
    chownHome(h);
    const QString def = h.chromeDir() + "/Default";
    const QString historyBefore = text(def + "/History", "SELECT group_concat(url) FROM urls");
    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);
    untickAllBut(chrome, {"Save Password", "Download History"});
    cleanTicked(data, chrome);

    const QString login = def + "/Login Data";
    for (const char* table : {"logins", "insecure_credentials", "password_notes"})
        EXPECT_EQ(scalar(login, QStringLiteral("SELECT count(*) FROM %1").arg(table)), 0) << table;
    EXPECT_EQ(scalar(login, "SELECT count(*) FROM stats"), 1);
    for (const char* table : {"downloads", "downloads_url_chains", "downloads_slices"})
        EXPECT_EQ(scalar(def + "/History", QStringLiteral("SELECT count(*) FROM %1").arg(table)), 0) << table;
    EXPECT_EQ(text(def + "/History", "SELECT group_concat(url) FROM urls"), historyBefore);
    EXPECT_EQ(scalar(def + "/History", "SELECT count(*) FROM keyword_search_terms"), 1);
    EXPECT_FALSE(readableAnywhere(login, marker("chrome-login")));
    EXPECT_FALSE(readableAnywhere(def + "/History", marker("chrome-download")));
    expectHealthy(login);
    EXPECT_EQ(ownerOf(login), testUid());
}

TEST(BrowserData, OperaCountsLoginsAndRemovesItsCookieFileWithItsCompanions)
{
    Home h;
    makeOpera(h, 4);
    // A journal left beside the cookie database holds cookies too.
    QFile journal(h.operaDir() + "/Cookies-journal");
    journal.open(QIODevice::WriteOnly);
    journal.write(marker("opera-cookie-in-journal"));
    journal.close();
    chownHome(h);
    BrowserData data(h.user());
    const auto opera = browser("Opera", "Opera", data);
    EXPECT_EQ(categoryOf(opera, "Browsing History")->size, "4 Items");
    EXPECT_EQ(categoryOf(opera, "Save Password")->size, "1 Items");
    cleanTicked(data, opera);
    EXPECT_EQ(scalar(h.operaDir() + "/Login Data", "SELECT count(*) FROM logins"), 0);
    // The search terms are history, not passwords: gone with the history.
    EXPECT_EQ(scalar(h.operaDir() + "/History", "SELECT count(*) FROM keyword_search_terms"), 0);
    EXPECT_FALSE(QFileInfo::exists(h.operaDir() + "/Cookies"));
    EXPECT_FALSE(QFileInfo::exists(h.operaDir() + "/Cookies-journal"));
    EXPECT_FALSE(QFileInfo::exists(h.home + "/.cache/opera"));
    EXPECT_TRUE(QFileInfo::exists(h.operaDir() + "/Web Data"));
    for (const BrowerObjPtr& c : opera->chrArr)
        EXPECT_TRUE(c->size == "0 Item" || c->size == "0 byte") << c->name.toStdString() << c->size.toStdString();
}

TEST(BrowserData, FirefoxUsesTheInstalledDefaultProfileAndCountsIt)
{
    Home h;
    makeFirefox(h, 5);
    chownHome(h);
    BrowserData data(h.user());
    EXPECT_EQ(data.getDefaultWithPath(h.firefoxRoot() + "/", kFirefoxInstall), h.firefoxProfile());
    const auto firefox = browser("Firefox ESR", "Firefox", data);
    // History and downloads both live in the places database, its log included.
    const QString places = h.firefoxProfile() + "/places.sqlite";
    const int64_t placesSize = QFileInfo(places).size() + QFileInfo(places + "-wal").size()
                               + QFileInfo(places + "-shm").size();
    ASSERT_GT(QFileInfo(places + "-wal").size(), 0);
    EXPECT_EQ(categoryOf(firefox, "Browsing History")->size, BrowserData::sizeText(placesSize));
    EXPECT_EQ(categoryOf(firefox, "Download History")->size, BrowserData::sizeText(placesSize));
    EXPECT_EQ(categoryOf(firefox, "Save Password")->size, "2 Items");
    EXPECT_EQ(categoryOf(firefox, "Session")->size, BrowserData::sizeText(4000));
    EXPECT_EQ(categoryOf(firefox, "Caches")->size, BrowserData::sizeText(5000));
}

TEST(BrowserData, FirefoxHistoryKeepsBookmarksKeywordsDownloadsAndTheKeyDatabase)
{
    Home h;
    makeFirefox(h, 5);
    chownHome(h);
    const QString p = h.firefoxProfile();
    const QString places = p + "/places.sqlite";
    ASSERT_TRUE(readableAnywhere(places, marker("firefox-history")));
    const QByteArray keyBefore = TempTree::read(p + "/key4.db");
    const QByteArray cookiesBefore = TempTree::read(p + "/cookies.sqlite");
    BrowserData data(h.user());
    const auto firefox = browser("Firefox", "Firefox", data);
    untickAllBut(firefox, {"Browsing History", "Save Password"});
    cleanTicked(data, firefox);

    EXPECT_EQ(scalar(places, "SELECT count(*) FROM moz_historyvisits WHERE visit_type IS NOT 7"), 0);
    EXPECT_EQ(scalar(places, "SELECT count(*) FROM moz_inputhistory"), 0);
    // Downloads were not ticked: their visit, annotations and place stay.
    EXPECT_EQ(text(places, "SELECT group_concat(url, ' ') FROM (SELECT url FROM moz_places ORDER BY id)"),
              "https://kept-bookmark.example/ https://TVMARK-firefox-download.example/file.iso");
    EXPECT_EQ(scalar(places, "SELECT count(*) FROM moz_historyvisits WHERE visit_type = 7 AND place_id = 2"), 1);
    EXPECT_EQ(scalar(places, "SELECT count(*) FROM moz_annos WHERE place_id = 2"), 2);
    EXPECT_EQ(scalar(places, "SELECT last_visit_date FROM moz_places WHERE id = 2"), 60);
    EXPECT_EQ(scalar(places, "SELECT visit_count FROM moz_places WHERE id = 1"), 0);
    EXPECT_EQ(text(places, "SELECT last_visit_date FROM moz_places WHERE id = 1"), "");
    EXPECT_EQ(text(places, "SELECT title FROM moz_bookmarks"), "Kept bookmark");
    EXPECT_EQ(text(places, "SELECT keyword FROM moz_keywords"), "kept");
    EXPECT_EQ(text(places, "SELECT content FROM moz_annos WHERE place_id = 1"), "kept description");
    expectHealthy(places);
    EXPECT_EQ(ownerOf(places), testUid());
    for (const char* what : {"firefox-history", "firefox-title", "firefox-typed"})
        EXPECT_FALSE(readableAnywhere(places, marker(what))) << what;
    EXPECT_TRUE(readableAnywhere(places, marker("firefox-download")));

    EXPECT_FALSE(QFileInfo::exists(p + "/logins.json"));
    EXPECT_FALSE(QFileInfo::exists(p + "/logins-backup.json"));
    EXPECT_EQ(TempTree::read(p + "/key4.db"), keyBefore);
    EXPECT_EQ(TempTree::read(p + "/cookies.sqlite"), cookiesBefore);
    EXPECT_EQ(scalar(h.firefoxRoot() + "/old1.default/places.sqlite", "SELECT count(*) FROM moz_historyvisits"), 1);
    EXPECT_EQ(categoryOf(firefox, "Browsing History")->size, "0 Item");
    EXPECT_EQ(categoryOf(firefox, "Save Password")->size, "0 Item");
}

TEST(BrowserData, FirefoxHistoryTakesTheVisitedPagesOutOfTheIconsDatabase)
{
    Home h;
    makeFirefox(h, 4);
    chownHome(h);
    const QString favicons = h.firefoxProfile() + "/favicons.sqlite";
    ASSERT_GT(QFileInfo(favicons + "-wal").size(), 0);
    ASSERT_TRUE(readableAnywhere(favicons, marker("firefox-iconquery")));
    BrowserData data(h.user());
    const auto firefox = browser("Firefox", "Firefox", data);
    untickAllBut(firefox, {"Browsing History"});
    cleanTicked(data, firefox);

    EXPECT_EQ(categoryOf(firefox, "Browsing History")->outcome, BrowerObj::Outcome::Cleaned);
    // The bookmark's page keeps its icon; the visited pages, their icon and
    // their site's root icon are gone, from the log too.
    EXPECT_EQ(text(favicons, "SELECT group_concat(page_url) FROM moz_pages_w_icons"), "https://kept-bookmark.example/");
    EXPECT_EQ(text(favicons, "SELECT group_concat(icon_url) FROM moz_icons"), "https://kept-bookmark.example/icon.png");
    EXPECT_EQ(scalar(favicons, "SELECT count(*) FROM moz_icons_to_pages"), 1);
    for (const char* what : {"firefox-iconquery", "firefox-icon", "firefox-history"})
        EXPECT_FALSE(readableAnywhere(favicons, marker(what))) << what;
    EXPECT_EQ(QFileInfo(favicons + "-wal").size(), 0);
    expectHealthy(favicons);
    EXPECT_EQ(ownerOf(favicons), testUid());
}

TEST(BrowserData, FirefoxDownloadsAloneTakeThePlacesOnlyADownloadKept)
{
    Home h;
    makeFirefox(h, 3);
    // A page that was visited and then downloaded from: it stays, with the
    // date of its last visit that was not the download.
    exec(h.firefoxProfile() + "/places.sqlite", R"(
        INSERT INTO moz_places(id, url, title, visit_count, last_visit_date, foreign_count, origin_id)
            VALUES(3, 'https://visited-then-downloaded.example/', 'v', 1, 80, 0, 1);
        INSERT INTO moz_historyvisits VALUES(3, 0, 3, 70, 1, 0);
        INSERT INTO moz_historyvisits VALUES(4, 0, 3, 80, 7, 0);
    )");
    chownHome(h);
    const QString places = h.firefoxProfile() + "/places.sqlite";
    BrowserData data(h.user());
    const auto firefox = browser("Firefox", "Firefox", data);
    untickAllBut(firefox, {"Download History", "Cookies", "Session", "Caches"});
    cleanTicked(data, firefox);
    EXPECT_EQ(scalar(places, "SELECT count(*) FROM moz_annos"), 1);
    EXPECT_EQ(text(places, "SELECT content FROM moz_annos"), "kept description");
    EXPECT_EQ(scalar(places, "SELECT count(*) FROM moz_historyvisits WHERE visit_type = 7"), 0);
    EXPECT_EQ(scalar(places, "SELECT count(*) FROM moz_historyvisits"), 5);
    // The address bar can no longer offer the download's address.
    EXPECT_EQ(scalar(places, "SELECT count(*) FROM moz_places WHERE id = 2"), 0);
    EXPECT_FALSE(readableAnywhere(places, marker("firefox-download")));
    EXPECT_EQ(scalar(places, "SELECT last_visit_date FROM moz_places WHERE id = 3"), 70);
    EXPECT_EQ(scalar(places, "SELECT count(*) FROM moz_places WHERE id >= 100"), 3);
    EXPECT_FALSE(QFileInfo::exists(h.firefoxProfile() + "/cookies.sqlite"));
    EXPECT_FALSE(QFileInfo::exists(h.firefoxProfile() + "/sessionstore.jsonlz4"));
    EXPECT_FALSE(QFileInfo::exists(h.firefoxProfile() + "/sessionstore-backups"));
    EXPECT_FALSE(QFileInfo::exists(h.firefoxCache() + "/cache2"));
    EXPECT_TRUE(QFileInfo::exists(h.firefoxProfile() + "/logins.json"));
    EXPECT_EQ(categoryOf(firefox, "Download History")->size, "0 Item");
    EXPECT_EQ(categoryOf(firefox, "Cookies")->size, "0 byte");
    expectHealthy(places);
}

TEST(BrowserData, FirefoxProfilesUnderTheConfigFolderAreCleanedWhereNoOldFolderIsLeft)
{
    Home h;
    makeFirefox(h, 3);
    QDir().mkpath(QFileInfo(h.firefoxConfigRoot()).path());
    ASSERT_TRUE(QDir().rename(h.firefoxRoot(), h.firefoxConfigRoot()));
    QDir(h.home + "/.mozilla").removeRecursively();
    chownHome(h);
    const QString profile = h.firefoxConfigRoot() + "/k3x9.default-release";
    BrowserData data(h.user());
    const auto firefox = browser("Firefox ESR", "Firefox", data);
    EXPECT_NE(categoryOf(firefox, "Browsing History")->size, BrowserData::kNoProfileText);
    EXPECT_EQ(categoryOf(firefox, "Caches")->size, BrowserData::sizeText(5000));
    cleanTicked(data, firefox);
    for (const BrowerObjPtr& c : firefox->chrArr)
        EXPECT_EQ(c->outcome, BrowerObj::Outcome::Cleaned) << c->name.toStdString() << c->failReason.toStdString();
    EXPECT_EQ(scalar(profile + "/places.sqlite", "SELECT count(*) FROM moz_historyvisits"), 0);
    EXPECT_FALSE(QFileInfo::exists(profile + "/cookies.sqlite"));
    EXPECT_FALSE(QFileInfo::exists(h.firefoxCache() + "/cache2"));
    EXPECT_EQ(scalar(h.firefoxConfigRoot() + "/old1.default/places.sqlite", "SELECT count(*) FROM moz_historyvisits"), 1);

    // A user who still has ~/.mozilla/firefox keeps it: the other root is
    // not what Firefox reads, and stays as it is.
    Home both;
    makeFirefox(both, 3);
    QDir().mkpath(QFileInfo(both.firefoxConfigRoot()).path());
    ASSERT_TRUE(QDir().rename(both.firefoxRoot(), both.firefoxConfigRoot()));
    makeFirefox(both, 2);
    chownHome(both);
    const QString unused = both.firefoxConfigRoot() + "/k3x9.default-release/places.sqlite";
    const QString unusedBefore = dump(unused);
    BrowserData bothData(both.user());
    const auto legacy = browser("Firefox ESR", "Firefox", bothData);
    untickAllBut(legacy, {"Browsing History"});
    cleanTicked(bothData, legacy);
    EXPECT_EQ(scalar(both.firefoxProfile() + "/places.sqlite", "SELECT count(*) FROM moz_historyvisits WHERE visit_type <> 7"), 0);
    EXPECT_EQ(dump(unused), unusedBefore);

    if (::geteuid() != 0)
        return;
    // The ownership check holds for the new root too.
    ::chown(QFile::encodeName(profile).constData(), otherUid(), otherUid());
    const auto refused = browser("Firefox ESR", "Firefox", data);
    data.clean(*categoryOf(refused, "Session"));
    EXPECT_TRUE(categoryOf(refused, "Session")->failReason.contains("does not belong to you"))
        << categoryOf(refused, "Session")->failReason.toStdString();
}

TEST(BrowserData, TheLockLinkANormalQuitLeavesDoesNotBlockTheClean)
{
    Home h;
    makeFirefox(h, 3);
    // What every normal quit leaves: an address, not the host name, and a
    // process number now used by something that is not Firefox (ourselves).
    QFile::link(QStringLiteral("127.0.0.1:+%1").arg(::getpid()), h.firefoxProfile() + "/lock");
    chownHome(h);
    BrowserData data(h.user());
    const auto firefox = browser("Firefox ESR", "Firefox", data);
    untickAllBut(firefox, {"Browsing History", "Cookies"});
    cleanTicked(data, firefox);
    EXPECT_EQ(categoryOf(firefox, "Browsing History")->outcome, BrowerObj::Outcome::Cleaned)
        << categoryOf(firefox, "Browsing History")->failReason.toStdString();
    EXPECT_FALSE(QFileInfo::exists(h.firefoxProfile() + "/cookies.sqlite"));
    EXPECT_TRUE(QFileInfo(h.firefoxProfile() + "/lock").isSymLink());

    if (::geteuid() != 0)
        return;
    // The same link naming a live Firefox of the user holds the profile.
    useUid(4257);
    Home live;
    makeFirefox(live, 3);
    TempTree bin;
    QProcess firefoxEsr;
    ASSERT_TRUE(startAsBrowser(firefoxEsr, bin, "firefox-esr"));
    QFile::link(QStringLiteral("127.0.0.1:+%1").arg(firefoxEsr.processId()), live.firefoxProfile() + "/lock");
    chownHome(live);
    BrowserData liveData(live.user());
    const auto running = browser("Firefox ESR", "Firefox", liveData);
    liveData.clean(*categoryOf(running, "Cookies"));
    firefoxEsr.kill();
    firefoxEsr.waitForFinished(3000);
    useUid(4242);
    EXPECT_EQ(categoryOf(running, "Cookies")->outcome, BrowerObj::Outcome::Failed);
    EXPECT_TRUE(categoryOf(running, "Cookies")->failReason.contains("running"));
    EXPECT_TRUE(QFileInfo::exists(live.firefoxProfile() + "/cookies.sqlite"));
}

TEST(BrowserData, ABrowserHoldingTheDatabaseFailsTheCategoryAndSaysSo)
{
    Home h;
    makeChrome(h);
    chownHome(h);
    const QString history = h.chromeDir() + "/Default/History";
    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);

    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(history).constData(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto category = categoryOf(chrome, "Browsing History");
    data.clean(*category);
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);

    EXPECT_EQ(category->size, BrowserData::kFailedText);
    EXPECT_EQ(category->outcome, BrowerObj::Outcome::Failed);
    EXPECT_TRUE(category->failReason.contains("in use")) << category->failReason.toStdString();
    EXPECT_EQ(scalar(history, "SELECT count(*) FROM urls"), 3);
}

TEST(BrowserData, AFailingStatementRollsTheWholeGroupBack)
{
    Home h;
    makeChrome(h);
    const QString history = h.chromeDir() + "/Default/History";
    exec(history, "CREATE TRIGGER refuse BEFORE DELETE ON urls BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    chownHome(h);
    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);
    const auto category = categoryOf(chrome, "Browsing History");
    data.clean(*category);
    EXPECT_EQ(category->size, BrowserData::kFailedText);
    // The visits went first; they are back.
    EXPECT_EQ(scalar(history, "SELECT count(*) FROM visits"), 3);
    EXPECT_EQ(scalar(history, "SELECT count(*) FROM keyword_search_terms"), 1);
}

TEST(BrowserData, AMissingDatabaseIsNeverCreated)
{
    Home h;
    QDir().mkpath(h.chromeDir() + "/Default");
    chownHome(h);
    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);
    EXPECT_EQ(categoryOf(chrome, "Browsing History")->size, "0 Item");
    cleanTicked(data, chrome);
    EXPECT_EQ(QDir(h.chromeDir() + "/Default").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
    for (const BrowerObjPtr& c : chrome->chrArr)
        EXPECT_NE(c->outcome, BrowerObj::Outcome::Failed) << c->name.toStdString();
}

TEST(BrowserData, AnUnreadableDatabaseShowsSoInsteadOfZero)
{
    Home h;
    QDir().mkpath(h.chromeDir() + "/Default");
    QFile junk(h.chromeDir() + "/Default/History");
    junk.open(QIODevice::WriteOnly);
    junk.write(QByteArray(4096, 'j'));
    junk.close();
    chownHome(h);
    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);
    const auto category = categoryOf(chrome, "Browsing History");
    EXPECT_EQ(category->size, BrowserData::kUnreadableText);
    data.clean(*category);
    EXPECT_EQ(category->size, BrowserData::kFailedText);
    EXPECT_TRUE(category->failReason.contains("not a database"));
}

TEST(BrowserData, ARunningProfileIsNotTouched)
{
    Home h;
    makeChrome(h);
    makeFirefox(h);
    // Chrome's lock names this machine and a live process: ourselves.
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    QFile::link(QStringLiteral("%1-%2").arg(QString::fromLocal8Bit(host)).arg(::getpid()),
                h.chromeDir() + "/SingletonLock");
    chownHome(h);
    // Firefox holds a record lock on .parentlock while it runs. Ours is an
    // open-file-description lock: a plain one would be dropped the moment
    // any descriptor of this process on the file is closed.
    QFile parentLock(h.firefoxProfile() + "/.parentlock");
    ASSERT_TRUE(parentLock.open(QIODevice::ReadWrite));
    struct flock lock{};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(parentLock.handle(), F_OFD_SETLK, &lock), 0);

    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);
    const auto firefox = browser("Firefox", "Firefox", data);
    cleanTicked(data, chrome);
    cleanTicked(data, firefox);
    EXPECT_EQ(scalar(h.chromeDir() + "/Default/History", "SELECT count(*) FROM urls"), 3);
    EXPECT_TRUE(QFileInfo::exists(h.home + "/.cache/google-chrome/Default"));
    EXPECT_TRUE(QFileInfo::exists(h.firefoxProfile() + "/logins.json"));
    EXPECT_TRUE(QFileInfo::exists(h.firefoxCache() + "/cache2"));
    for (const auto& b : {chrome, firefox})
        for (const BrowerObjPtr& c : b->chrArr) {
            EXPECT_EQ(c->size, BrowserData::kFailedText) << c->name.toStdString();
            EXPECT_TRUE(c->failReason.contains("running"));
        }

    // A lock left by a process that is gone does not hold the profile.
    QFile::remove(h.chromeDir() + "/SingletonLock");
    QFile::link(QStringLiteral("%1-999999999").arg(QString::fromLocal8Bit(host)), h.chromeDir() + "/SingletonLock");
    const auto again = browser("Google Chrome", "Google Chrome", data);
    data.clean(*categoryOf(again, "Browsing History"));
    EXPECT_EQ(scalar(h.chromeDir() + "/Default/History", "SELECT count(*) FROM urls"), 0);
}

TEST(BrowserData, CleaningStaysInsideWhatTheUserMayReach)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to own files as other users";
    Home h;
    makeChrome(h);
    chownHome(h);
    // Another user's files, reached through a link the user planted in
    // place of the cache folder's parent.
    TempTree elsewhere;
    ::chmod(QFile::encodeName(elsewhere.path()).constData(), 0755);
    const QString victim = elsewhere.file("google-chrome/keep.txt", "keep");
    ::chown(QFile::encodeName(elsewhere / "google-chrome").constData(), otherUid(), otherUid());
    ::chown(QFile::encodeName(victim).constData(), otherUid(), otherUid());
    QDir(h.home + "/.cache").removeRecursively();
    ::symlink(QFile::encodeName(elsewhere.path()).constData(), QFile::encodeName(h.home + "/.cache").constData());
    ::lchown(QFile::encodeName(h.home + "/.cache").constData(), testUid(), testGid());
    // A session folder the user cannot write into (made by someone else).
    const QString foreign = h.chromeDir() + "/Default/Sessions/foreign";
    QDir().mkpath(foreign);
    QFile f(foreign + "/Session_1");
    f.open(QIODevice::WriteOnly);
    f.close();
    ::chown(QFile::encodeName(foreign).constData(), otherUid(), otherUid());

    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);
    cleanTicked(data, chrome);
    EXPECT_EQ(TempTree::read(victim), "keep");
    EXPECT_TRUE(QFileInfo::exists(foreign + "/Session_1"));
    EXPECT_EQ(categoryOf(chrome, "Session")->size, BrowserData::kFailedText);
    EXPECT_EQ(categoryOf(chrome, "Caches")->size, BrowserData::kFailedText);
    // Everything the clean created belongs to the user.
    for (const QString& name : QDir(h.chromeDir() + "/Default").entryList(QDir::Files | QDir::Hidden))
        EXPECT_EQ(ownerOf(h.chromeDir() + "/Default/" + name), testUid()) << name.toStdString();
}

namespace {

// Rows the browser deleted long ago, left readable in the database's free
// pages (no secure delete), as a real profile has them.
void leaveStaleRows(const QString& db, const QString& insert, const QString& remove)
{
    QString sql = "PRAGMA secure_delete = OFF; BEGIN;";
    for (int i = 0; i < 40; ++i)
        sql += QString(insert).replace("%n", QString::number(5000 + i));
    sql += "COMMIT;" + remove;
    exec(db, sql);
}

}  // namespace

TEST(BrowserData, RowsLeftInFreePagesBeforeTheCleanAreGoneFromEveryFile)
{
    Home h;
    makeChrome(h, 5);
    makeFirefox(h, 5);
    const QString history = h.chromeDir() + "/Default/History";
    const QString places = h.firefoxProfile() + "/places.sqlite";
    const QString pad = QString(300, 'p');
    leaveStaleRows(history,
                   "INSERT INTO urls(id, url, title, last_visit_time) VALUES(%n, 'https://TVMARK-stale-url.example/%n', "
                   "'TVMARK-stale-title " + pad + "', 1);"
                   "INSERT INTO keyword_search_terms VALUES(2, %n, 'TVMARK-stale-term', 'TVMARK-stale-term " + pad + "');",
                   "DELETE FROM urls WHERE id >= 5000; DELETE FROM keyword_search_terms WHERE url_id >= 5000;");
    leaveStaleRows(places,
                   "INSERT INTO moz_places(id, url, title, foreign_count) VALUES(%n, "
                   "'https://TVMARK-stale-place.example/%n', 'TVMARK-stale-place " + pad + "', 0);",
                   "DELETE FROM moz_places WHERE id >= 5000;");
    chownHome(h);
    ASSERT_TRUE(readableAnywhere(history, marker("stale-url")));
    ASSERT_TRUE(readableAnywhere(history, marker("stale-term")));
    ASSERT_TRUE(readableAnywhere(places, marker("stale-place")));
    const QString downloadsBefore = dump(history).section("[keyword_search_terms]", 0, 0);

    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);
    const auto firefox = browser("Firefox", "Firefox", data);
    untickAllBut(chrome, {"Browsing History"});
    untickAllBut(firefox, {"Browsing History"});
    cleanTicked(data, chrome);
    cleanTicked(data, firefox);

    EXPECT_EQ(categoryOf(chrome, "Browsing History")->outcome, BrowerObj::Outcome::Cleaned);
    EXPECT_EQ(categoryOf(firefox, "Browsing History")->outcome, BrowerObj::Outcome::Cleaned);
    for (const char* what : {"stale-url", "stale-title", "stale-term", "chrome-history", "chrome-search"})
        EXPECT_FALSE(readableAnywhere(history, marker(what))) << what;
    for (const char* what : {"stale-place", "firefox-history", "firefox-title"})
        EXPECT_FALSE(readableAnywhere(places, marker(what))) << what;
    // What was not ticked is all still there, in a sound file of the user's.
    EXPECT_EQ(dump(history).section("[keyword_search_terms]", 0, 0), downloadsBefore);
    EXPECT_EQ(text(places, "SELECT title FROM moz_bookmarks"), "Kept bookmark");
    EXPECT_EQ(QFileInfo(places + "-wal").size(), 0);
    for (const QString& db : {history, places}) {
        expectHealthy(db);
        EXPECT_EQ(ownerOf(db), testUid());
    }
}

TEST(BrowserData, ChromeCachesAreTheDefaultProfilesOnly)
{
    Home h;
    makeChrome(h);
    const QString other = h.home + "/.cache/google-chrome/Profile 1/Cache/Cache_Data/data_1";
    QDir().mkpath(QFileInfo(other).path());
    QFile f(other);
    f.open(QIODevice::WriteOnly);
    f.write(QByteArray(3000, 'o'));
    f.close();
    chownHome(h);
    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);
    EXPECT_EQ(categoryOf(chrome, "Caches")->size, BrowserData::sizeText(4096));
    untickAllBut(chrome, {"Caches"});
    cleanTicked(data, chrome);
    EXPECT_FALSE(QFileInfo::exists(h.home + "/.cache/google-chrome/Default"));
    EXPECT_EQ(QFileInfo(other).size(), 3000);
    EXPECT_EQ(categoryOf(chrome, "Caches")->size, "0 byte");
}

TEST(BrowserData, AProfileOutsideTheHomeOrNotTheUsersIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to own files as other users";
    // Another user's profile that anyone may write.
    TempTree elsewhere;
    ::chmod(QFile::encodeName(elsewhere.path()).constData(), 0755);
    Home theirs;
    makeFirefox(theirs, 3);
    const QString victim = theirs.firefoxProfile();
    for (const QString& p : {theirs.home, theirs.home + "/.mozilla", theirs.firefoxRoot(), victim}) {
        ::chmod(QFile::encodeName(p).constData(), 0777);
        ::chown(QFile::encodeName(p).constData(), otherUid(), otherUid());
    }
    ::chmod(QFile::encodeName(theirs.tree.path()).constData(), 0755);
    for (const QString& name : QDir(victim).entryList(QDir::Files)) {
        ::chmod(QFile::encodeName(victim + "/" + name).constData(), 0666);
        ::chown(QFile::encodeName(victim + "/" + name).constData(), otherUid(), otherUid());
    }
    const QString before = dump(victim + "/places.sqlite");
    const QStringList filesBefore = QDir(victim).entryList(QDir::Files);

    Home h;
    makeFirefox(h, 3);
    const QString relativeOut = QDir(h.firefoxRoot()).relativeFilePath(victim);
    ASSERT_TRUE(relativeOut.startsWith("../"));
    const QStringList inis{
        QStringLiteral("[Install3B6073811A6ABF12]\nDefault=%1\n[Profile0]\nIsRelative=0\nPath=%1\nDefault=1\n").arg(victim),
        QStringLiteral("[Profile0]\nIsRelative=1\nPath=%1\nDefault=1\n").arg(relativeOut),
    };
    for (const QString& ini : inis) {
        QFile file(h.firefoxRoot() + "/profiles.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ini.toUtf8());
        file.close();
        chownHome(h);
        BrowserData data(h.user());
        const auto firefox = browser("Firefox", "Firefox", data);
        EXPECT_EQ(categoryOf(firefox, "Browsing History")->size, BrowserData::kUnreadableText);
        cleanTicked(data, firefox);
        for (const BrowerObjPtr& c : firefox->chrArr) {
            EXPECT_EQ(c->outcome, BrowerObj::Outcome::Failed) << c->name.toStdString();
            EXPECT_TRUE(c->failReason.contains("outside your home")) << c->failReason.toStdString();
        }
        EXPECT_EQ(dump(victim + "/places.sqlite"), before);
        EXPECT_EQ(QDir(victim).entryList(QDir::Files), filesBefore);
    }

    // Inside the home but someone else's: refused too.
    Home shared;
    makeFirefox(shared, 3);
    chownHome(shared);
    ::chown(QFile::encodeName(shared.firefoxProfile()).constData(), otherUid(), otherUid());
    BrowserData data(shared.user());
    const auto firefox = browser("Firefox", "Firefox", data);
    cleanTicked(data, firefox);
    EXPECT_TRUE(categoryOf(firefox, "Cookies")->failReason.contains("does not belong to you"));
    EXPECT_TRUE(QFileInfo::exists(shared.firefoxProfile() + "/cookies.sqlite"));
    EXPECT_EQ(scalar(shared.firefoxProfile() + "/places.sqlite", "SELECT count(*) FROM moz_historyvisits"), 5);

    // Chrome's cookie folder made a link to another user's writable one.
    Home linked;
    makeChrome(linked);
    Home other;
    makeChrome(other);
    const QString theirNetwork = other.chromeDir() + "/Default/Network";
    for (const QString& p : {theirNetwork, theirNetwork + "/Cookies"}) {
        ::chmod(QFile::encodeName(p).constData(), 0777);
        ::chown(QFile::encodeName(p).constData(), otherUid(), otherUid());
    }
    ::chmod(QFile::encodeName(other.tree.path()).constData(), 0755);
    QDir(linked.chromeDir() + "/Default/Network").removeRecursively();
    QFile::link(theirNetwork, linked.chromeDir() + "/Default/Network");
    chownHome(linked);
    const QString cookiesBefore = dump(theirNetwork + "/Cookies");
    BrowserData linkedData(linked.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", linkedData);
    untickAllBut(chrome, {"Cookies"});
    cleanTicked(linkedData, chrome);
    // Refused before any database is opened.
    EXPECT_TRUE(categoryOf(chrome, "Cookies")->failReason.contains("outside your home"))
        << categoryOf(chrome, "Cookies")->failReason.toStdString();
    EXPECT_EQ(dump(theirNetwork + "/Cookies"), cookiesBefore);
}

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// What sites store for themselves in a Chromium profile, as the browser
// lays it out.
void makeChromiumSiteData(const QString& profile, const QByteArray& mark)
{
    write(profile + "/Local Storage/leveldb/000003.log", "_http://127.0.0.1\x00\x01lskey" + mark);
    write(profile + "/IndexedDB/http_127.0.0.1_8000.indexeddb.leveldb/000003.log", "idb" + mark);
    write(profile + "/Service Worker/Database/000003.log", "sw" + mark);
    write(profile + "/Session Storage/000003.log", "ss" + mark);
}

// The other files where a Chromium profile keeps visited addresses.
void makeChromiumVisitFiles(const QString& profile, const QString& userData, const QString& mark)
{
    const QString url = "http://127.0.0.1:8000/page.html?q=" + mark;
    QDir().mkpath(profile);
    QDir().mkpath(userData + "/segmentation_platform");
    exec(profile + "/Top Sites", QStringLiteral(
        "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
        "INSERT INTO meta VALUES('version', '5');"
        "CREATE TABLE top_sites(url TEXT NOT NULL PRIMARY KEY, url_rank INTEGER NOT NULL, title TEXT NOT NULL);"
        "INSERT INTO top_sites VALUES('%1', 0, 'title');").arg(url));
    exec(profile + "/Favicons", QStringLiteral(
        "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
        "INSERT INTO meta VALUES('version', '8');"
        "CREATE TABLE icon_mapping(id INTEGER PRIMARY KEY, page_url LONGVARCHAR NOT NULL, icon_id INTEGER,"
        " page_url_type INTEGER DEFAULT 0);"
        "CREATE TABLE favicons(id INTEGER PRIMARY KEY, url LONGVARCHAR NOT NULL, icon_type INTEGER DEFAULT 1);"
        "CREATE TABLE favicon_bitmaps(id INTEGER PRIMARY KEY, icon_id INTEGER NOT NULL, image_data BLOB);"
        "INSERT INTO icon_mapping VALUES(1, '%1', 1, 0);"
        "INSERT INTO favicons VALUES(1, 'http://127.0.0.1:8000/icon.png?%2', 1);"
        "INSERT INTO favicon_bitmaps VALUES(1, 1, X'00');").arg(url, mark));
    exec(profile + "/Shortcuts", QStringLiteral(
        "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
        "INSERT INTO meta VALUES('version', '1');"
        "CREATE TABLE omni_box_shortcuts(id VARCHAR PRIMARY KEY, text VARCHAR, fill_into_edit VARCHAR, url VARCHAR);"
        "INSERT INTO omni_box_shortcuts VALUES('1', 'typed', '%1', '%1');").arg(url));
    exec(profile + "/Network Action Predictor", QStringLiteral(
        "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
        "INSERT INTO meta VALUES('version', '1');"
        "CREATE TABLE network_action_predictor(id TEXT PRIMARY KEY, user_text TEXT, url TEXT,"
        " number_of_hits INTEGER, number_of_misses INTEGER);"
        "INSERT INTO network_action_predictor VALUES('1', '127', '%1', 1, 0);").arg(url));
    exec(userData + "/segmentation_platform/ukm_db", QStringLiteral(
        "CREATE TABLE urls(url_id INTEGER PRIMARY KEY, url TEXT);"
        "INSERT INTO urls VALUES(1, '%1');").arg(url));
    write(profile + "/Visited Links", url.toUtf8());
    write(profile + "/History Provider Cache", url.toUtf8());
    write(profile + "/shared_proto_db/000003.log", "download " + url.toUtf8());
}

}  // namespace

TEST(BrowserData, CookiesTakeWhatSitesStoredForThemselves)
{
    Home h;
    makeChrome(h, 3);
    makeOpera(h, 3);
    makeFirefox(h, 3);
    const QString chromeProfile = h.chromeDir() + "/Default";
    makeChromiumSiteData(chromeProfile, "SMARK-chrome");
    makeChromiumSiteData(h.operaDir(), "SMARK-opera");
    const QString ff = h.firefoxProfile();
    write(ff + "/storage/default/http+++127.0.0.1+8000/ls/data.sqlite", "SMARK-ff-local");
    write(ff + "/storage/default/http+++127.0.0.1+8000/idb/1234.sqlite", "SMARK-ff-idb");
    write(ff + "/storage/permanent/https+++kept-open.example/idb/1.sqlite", "SMARK-ff-persisted");
    write(ff + "/storage/permanent/chrome/idb/1.sqlite", "browser's own");
    write(ff + "/storage/default/moz-extension+++1234/idb/1.sqlite", "extension settings");
    write(ff + "/webappsstore.sqlite", "SMARK-ff-webapps");
    chownHome(h);

    BrowserData data(h.user());
    const auto chrome = browser("Google Chrome", "Google Chrome", data);
    const auto opera = browser("Opera", "Opera", data);
    const auto firefox = browser("Firefox ESR", "Firefox", data);
    // Chrome's row counts each site-data entry beside the cookies; Opera's
    // and Firefox's sizes hold them.
    const qint64 cookies = scalar(chromeProfile + "/Network/Cookies", "SELECT count(*) FROM cookies");
    EXPECT_EQ(categoryOf(chrome, "Cookies")->size, BrowserData::countText(cookies + 4));
    int64_t ffSize = QFileInfo(ff + "/cookies.sqlite").size();
    for (const char* f : {"/storage/default/http+++127.0.0.1+8000/ls/data.sqlite",
                          "/storage/default/http+++127.0.0.1+8000/idb/1234.sqlite",
                          "/storage/permanent/https+++kept-open.example/idb/1.sqlite", "/webappsstore.sqlite"})
        ffSize += QFileInfo(ff + f).size();
    EXPECT_EQ(categoryOf(firefox, "Cookies")->size, BrowserData::sizeText(ffSize));

    for (const auto& b : {chrome, opera, firefox}) {
        untickAllBut(b, {"Cookies"});
        cleanTicked(data, b);
        EXPECT_EQ(categoryOf(b, "Cookies")->outcome, BrowerObj::Outcome::Cleaned) << b->name.toStdString();
    }
    for (const QByteArray mark : {"SMARK-chrome", "SMARK-opera", "SMARK-ff"})
        for (const QString& folder : {chromeProfile, h.operaDir(), ff}) {
            QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                EXPECT_FALSE(TempTree::read(file).contains(mark)) << file.toStdString();
            }
        }
    for (const char* gone : {"/Local Storage", "/IndexedDB", "/Service Worker", "/Session Storage"}) {
        EXPECT_FALSE(QFileInfo::exists(chromeProfile + gone)) << gone;
        EXPECT_FALSE(QFileInfo::exists(h.operaDir() + gone)) << gone;
    }
    // The browser's own storage and its extensions' stay.
    EXPECT_EQ(TempTree::read(ff + "/storage/permanent/chrome/idb/1.sqlite"), "browser's own");
    EXPECT_EQ(TempTree::read(ff + "/storage/default/moz-extension+++1234/idb/1.sqlite"), "extension settings");
    EXPECT_EQ(scalar(ff + "/places.sqlite", "SELECT count(*) FROM moz_bookmarks"), 1);
}

TEST(BrowserData, ChromiumHistoryTakesEveryFileThatKeepsVisitedAddresses)
{
    Home h;
    makeChrome(h, 3);
    makeOpera(h, 3);
    const QString chromeProfile = h.chromeDir() + "/Default";
    makeChromiumVisitFiles(chromeProfile, h.chromeDir(), "QMARK-chrome");
    makeChromiumVisitFiles(h.operaDir(), h.operaDir(), "QMARK-opera");
    // Chrome's other profile is not this row's.
    makeChromiumVisitFiles(h.chromeDir() + "/Profile 1", h.chromeDir() + "/Profile 1", "QMARK-profile1");
    chownHome(h);
    const QString otherTopSites = dump(h.chromeDir() + "/Profile 1/Top Sites");

    BrowserData data(h.user());
    for (const auto& b : {browser("Google Chrome", "Google Chrome", data), browser("Opera", "Opera", data)}) {
        const bool isChrome = b->name == "Google Chrome";
        const QString profile = isChrome ? chromeProfile : h.operaDir();
        const QByteArray mark = isChrome ? "QMARK-chrome" : "QMARK-opera";
        untickAllBut(b, {"Browsing History"});
        cleanTicked(data, b);
        EXPECT_EQ(categoryOf(b, "Browsing History")->outcome, BrowerObj::Outcome::Cleaned)
            << categoryOf(b, "Browsing History")->failReason.toStdString();
        for (const char* db : {"/Top Sites", "/Favicons", "/Shortcuts", "/Network Action Predictor"}) {
            EXPECT_FALSE(readableAnywhere(profile + db, mark)) << db;
            expectHealthy(profile + db);
            // The schema's version stays for the browser to read.
            EXPECT_EQ(text(profile + db, "SELECT count(*) FROM meta"), "1") << db;
        }
        const QString ukm = (isChrome ? h.chromeDir() : h.operaDir()) + "/segmentation_platform/ukm_db";
        EXPECT_FALSE(readableAnywhere(ukm, mark));
        expectHealthy(ukm);
        EXPECT_FALSE(QFileInfo::exists(profile + "/Visited Links"));
        EXPECT_FALSE(QFileInfo::exists(profile + "/History Provider Cache"));
        // The download records are Download History's.
        EXPECT_TRUE(TempTree::read(profile + "/shared_proto_db/000003.log").contains(mark));
        untickAllBut(b, {"Download History"});
        cleanTicked(data, b);
        EXPECT_EQ(categoryOf(b, "Download History")->outcome, BrowerObj::Outcome::Cleaned);
        EXPECT_FALSE(QFileInfo::exists(profile + "/shared_proto_db"));
        EXPECT_EQ(scalar(profile + "/History", "SELECT count(*) FROM downloads"), 0);
    }
    EXPECT_EQ(dump(h.chromeDir() + "/Profile 1/Top Sites"), otherTopSites);
    EXPECT_TRUE(QFileInfo::exists(h.chromeDir() + "/Profile 1/Visited Links"));
}

TEST(BrowserData, EachFirefoxInstallationCleansItsOwnProfileAndLeavesTheOther)
{
    Home h;
    const QString copy = "/home/u/firefox";
    makeFirefox(h, 3);
    // The copy's profile: the same files in a folder of its own, its section
    // first as Firefox may write it.
    const QString theirs = h.firefoxRoot() + "/c0py.default-release";
    QDir().mkpath(theirs);
    for (const QString& name : QDir(h.firefoxProfile()).entryList(QDir::Files | QDir::Hidden))
        QFile::copy(h.firefoxProfile() + '/' + name, theirs + '/' + name);
    QFile ini(h.firefoxRoot() + "/profiles.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray ours = ini.readAll();
    ini.close();
    write(h.firefoxRoot() + "/profiles.ini",
          QStringLiteral("[Install%1]\nDefault=c0py.default-release\nLocked=1\n\n").arg(firefoxInstallHash(copy)).toUtf8()
              + ours);
    chownHome(h);
    QMap<QString, QByteArray> before;
    for (const QString& name : QDir(theirs).entryList(QDir::Files | QDir::Hidden))
        before.insert(name, TempTree::read(theirs + '/' + name));

    BrowserData data(h.user());
    const auto esr = browser("Firefox ESR", "Firefox", data);
    cleanTicked(data, esr);
    EXPECT_EQ(categoryOf(esr, "Cookies")->outcome, BrowerObj::Outcome::Cleaned);
    EXPECT_FALSE(QFileInfo::exists(h.firefoxProfile() + "/cookies.sqlite"));
    EXPECT_EQ(scalar(h.firefoxProfile() + "/places.sqlite", "SELECT count(*) FROM moz_historyvisits WHERE visit_type <> 7"), 0);
    QMap<QString, QByteArray> after;
    for (const QString& name : QDir(theirs).entryList(QDir::Files | QDir::Hidden))
        after.insert(name, TempTree::read(theirs + '/' + name));
    EXPECT_EQ(after, before);

    // An installation with no section reads "No profile" and touches nothing.
    auto none = std::make_shared<BrowerObj>();
    none->name = "Firefox Nightly";
    none->browserKey = "Firefox";
    none->installDir = "/opt/firefox-nightly";
    BrowserTree::getSubArrWithKey("Firefox", none,
                                  BrowserTree::loadEraserHistory(TV_SOURCE_DIR "/resources/share/EraserHistory.plist"), data);
    for (const BrowerObjPtr& c : none->chrArr)
        EXPECT_EQ(c->size, BrowserData::kNoProfileText) << c->name.toStdString();
    cleanTicked(data, none);
    for (const BrowerObjPtr& c : none->chrArr)
        EXPECT_EQ(c->outcome, BrowerObj::Outcome::NoProfile);
    EXPECT_TRUE(categoryOf(none, "Cookies")->failReason.contains("/opt/firefox-nightly"));
    for (const QString& name : QDir(theirs).entryList(QDir::Files | QDir::Hidden))
        after.insert(name, TempTree::read(theirs + '/' + name));
    EXPECT_EQ(after, before);
}
