#include "BrowserFixtures.h"

#include "inter/FirefoxProfile.h"

#include "inter/BrowserTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDirIterator>
#include <QThread>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

namespace fixture {

namespace {
uid_t g_uid = 4242;
}

void useUid(uid_t uid) { g_uid = uid; }
uid_t testUid() { return ::geteuid() == 0 ? g_uid : ::getuid(); }
gid_t testGid() { return ::geteuid() == 0 ? gid_t(g_uid) : ::getgid(); }
uid_t otherUid() { return 4343; }

namespace {

sqlite3* openDb(const QString& db)
{
    sqlite3* h = nullptr;
    EXPECT_EQ(sqlite3_open(QFile::encodeName(db).constData(), &h), SQLITE_OK) << db.toStdString();
    return h;
}

}  // namespace

void exec(const QString& db, const QString& sql)
{
    sqlite3* h = openDb(db);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(h, sql.toUtf8().constData(), nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "") << " in " << db.toStdString();
    sqlite3_free(error);
    sqlite3_close(h);
}

QString text(const QString& db, const QString& sql)
{
    sqlite3* h = openDb(db);
    sqlite3_stmt* stmt = nullptr;
    QString result;
    if (sqlite3_prepare_v2(h, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW)
        result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(h);
    return result;
}

qint64 scalar(const QString& db, const QString& sql) { return text(db, sql).toLongLong(); }

QString dump(const QString& db)
{
    sqlite3* h = nullptr;
    sqlite3_open_v2(QFile::encodeName(db).constData(), &h, SQLITE_OPEN_READONLY, nullptr);
    QString out;
    QStringList tables;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(h, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name", -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    for (const QString& t : tables) {
        out += "[" + t + "]\n";
        sqlite3_prepare_v2(h, QStringLiteral("SELECT * FROM \"%1\" ORDER BY 1").arg(t).toUtf8().constData(), -1, &stmt,
                           nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                out += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c))) + "|";
            out += "\n";
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(h);
    return out;
}

QByteArray marker(const QString& what) { return ("TVMARK-" + what).toUtf8(); }

BrowserUser Home::user() const { return {testUid(), testGid(), home, {}}; }

void makeChromium(const QString& profile, int rows, const QString& tag)
{
    QDir().mkpath(profile + "/Network");
    QDir().mkpath(profile + "/Sessions");
    const QString m = QString::fromUtf8(marker(tag));
    const QString history = profile + "/History";
    exec(history, R"(
        CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
        CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT, url LONGVARCHAR, title LONGVARCHAR,
            visit_count INTEGER DEFAULT 0 NOT NULL, typed_count INTEGER DEFAULT 0 NOT NULL,
            last_visit_time INTEGER NOT NULL, hidden INTEGER DEFAULT 0 NOT NULL);
        CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT, url INTEGER NOT NULL, visit_time INTEGER NOT NULL,
            from_visit INTEGER, transition INTEGER DEFAULT 0 NOT NULL, segment_id INTEGER,
            visit_duration INTEGER DEFAULT 0 NOT NULL);
        CREATE TABLE visit_source(id INTEGER PRIMARY KEY, source INTEGER NOT NULL);
        CREATE TABLE keyword_search_terms(keyword_id INTEGER NOT NULL, url_id INTEGER NOT NULL,
            term LONGVARCHAR NOT NULL, normalized_term LONGVARCHAR NOT NULL);
        CREATE TABLE segments(id INTEGER PRIMARY KEY, name VARCHAR, url_id INTEGER NON NULL);
        CREATE TABLE segment_usage(id INTEGER PRIMARY KEY, segment_id INTEGER NOT NULL, time_slot INTEGER NOT NULL,
            visit_count INTEGER DEFAULT 0 NOT NULL);
        CREATE TABLE downloads(id INTEGER PRIMARY KEY, guid VARCHAR NOT NULL, current_path LONGVARCHAR NOT NULL,
            target_path LONGVARCHAR NOT NULL, start_time INTEGER NOT NULL, received_bytes INTEGER NOT NULL,
            total_bytes INTEGER NOT NULL, state INTEGER NOT NULL, tab_url VARCHAR NOT NULL);
        CREATE TABLE downloads_url_chains(id INTEGER NOT NULL, chain_index INTEGER NOT NULL, url LONGVARCHAR NOT NULL,
            PRIMARY KEY (id, chain_index));
        CREATE TABLE downloads_slices(download_id INTEGER NOT NULL, offset INTEGER NOT NULL,
            received_bytes INTEGER NOT NULL, finished INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (download_id, offset));
        INSERT INTO meta VALUES('version', '67');
    )");
    QString fill = "BEGIN;";
    for (int i = 1; i <= rows; ++i) {
        fill += QStringLiteral("INSERT INTO urls(url, title, last_visit_time) VALUES('https://%1-url.example/%2', "
                               "'%1-title', %2);"
                               "INSERT INTO visits(url, visit_time) VALUES(%2, %2);"
                               "INSERT INTO visit_source VALUES(%2, 1);"
                               "INSERT INTO segments VALUES(%2, 'http://%1-segment.example/', %2);"
                               "INSERT INTO segment_usage VALUES(%2, %2, 0, 1);")
                    .arg(m + "-history")
                    .arg(i);
    }
    fill += QStringLiteral("INSERT INTO keyword_search_terms VALUES(2, 1, '%1-term', '%1-term');").arg(m + "-search");
    for (int i = 1; i <= 2; ++i)
        fill += QStringLiteral("INSERT INTO downloads VALUES(%2, 'guid%2', '/tmp/%1-%2', '/tmp/%1-%2', 1, 10, 10, 1, "
                               "'https://%1.example/');"
                               "INSERT INTO downloads_url_chains VALUES(%2, 0, 'https://%1-chain.example/%2');"
                               "INSERT INTO downloads_slices VALUES(%2, 0, 10, 1);")
                    .arg(m + "-download")
                    .arg(i);
    fill += "COMMIT;";
    exec(history, fill);

    exec(profile + "/Network/Cookies", QStringLiteral(R"(
        CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
        CREATE TABLE cookies(creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, name TEXT NOT NULL,
            value TEXT NOT NULL, path TEXT NOT NULL, expires_utc INTEGER NOT NULL, encrypted_value BLOB DEFAULT '');
        INSERT INTO cookies VALUES(1, '.%1.example', 'sid', '%1-value-1', '/', 0, '');
        INSERT INTO cookies VALUES(2, '.%1.example', 'sid2', '%1-value-2', '/', 0, '');
        INSERT INTO cookies VALUES(3, '.%1.example', 'sid3', '%1-value-3', '/', 0, '');
    )").arg(m + "-cookie"));
    exec(profile + "/Login Data", QStringLiteral(R"(
        CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
        CREATE TABLE logins(origin_url VARCHAR NOT NULL, action_url VARCHAR, username_value VARCHAR,
            password_value BLOB, signon_realm VARCHAR NOT NULL, id INTEGER PRIMARY KEY AUTOINCREMENT);
        CREATE TABLE insecure_credentials(parent_id INTEGER REFERENCES logins ON UPDATE CASCADE ON DELETE CASCADE,
            insecurity_type INTEGER NOT NULL, create_time INTEGER NOT NULL);
        CREATE TABLE password_notes(id INTEGER PRIMARY KEY AUTOINCREMENT, parent_id INTEGER NOT NULL,
            key VARCHAR NOT NULL, value BLOB);
        CREATE TABLE stats(origin_domain VARCHAR NOT NULL, username_value VARCHAR, dismissal_count INTEGER);
        INSERT INTO logins VALUES('https://%1.example/', '', '%1-user', '%1-secret', 'https://%1.example/', 1);
        INSERT INTO insecure_credentials VALUES(1, 0, 1);
        INSERT INTO password_notes VALUES(1, 1, 'note', '%1-note');
        INSERT INTO stats VALUES('kept.example', 'kept', 1);
    )").arg(m + "-login"));
    // Search engines live in Web Data, which nothing here may touch.
    exec(profile + "/Web Data", QStringLiteral(R"(
        CREATE TABLE keywords(id INTEGER PRIMARY KEY, short_name VARCHAR NOT NULL, keyword VARCHAR NOT NULL, url VARCHAR);
        INSERT INTO keywords VALUES(2, 'Kept Engine', 'kept', 'https://search.example/?q={searchTerms}');
    )"));
    QFile session(profile + "/Sessions/Session_13345");
    session.open(QIODevice::WriteOnly);
    session.write(QByteArray(2048, 's'));
    QFile tabs(profile + "/Current Session");
    tabs.open(QIODevice::WriteOnly);
    tabs.write(QByteArray(1000, 't'));
    QFile bookmarks(profile + "/Bookmarks");
    bookmarks.open(QIODevice::WriteOnly);
    bookmarks.write("{\"roots\": {}}");
}

void makeChrome(Home& h, int rows)
{
    makeChromium(h.chromeDir() + "/Default", rows, "chrome");
    makeChromium(h.chromeDir() + "/Profile 1", rows, "chromeother");
    QDir().mkpath(h.home + "/.cache/google-chrome/Default/Cache/Cache_Data");
    QFile cache(h.home + "/.cache/google-chrome/Default/Cache/Cache_Data/data_1");
    cache.open(QIODevice::WriteOnly);
    cache.write(QByteArray(4096, 'c'));
}

void makeOpera(Home& h, int rows)
{
    makeChromium(h.operaDir(), rows, "opera");
    // Opera's cookies live beside its other databases, not under Network/.
    QFile::rename(h.operaDir() + "/Network/Cookies", h.operaDir() + "/Cookies");
    QDir().mkpath(h.home + "/.cache/opera/Cache");
    QFile cache(h.home + "/.cache/opera/Cache/data_0");
    cache.open(QIODevice::WriteOnly);
    cache.write(QByteArray(1500, 'c'));
}

void makeFirefox(Home& h, int rows, const QString& install)
{
    const QString root = h.firefoxRoot();
    const QString p = h.firefoxProfile();
    QDir().mkpath(p + "/sessionstore-backups");
    QDir().mkpath(root + "/old1.default");
    QFile ini(root + "/profiles.ini");
    ini.open(QIODevice::WriteOnly);
    ini.write("[Profile1]\nName=old\nIsRelative=1\nPath=old1.default\nDefault=1\n\n"
              "[Profile0]\nName=default-release\nIsRelative=1\nPath=k3x9.default-release\n\n"
              "[General]\nStartWithLastProfile=1\nVersion=2\n\n"
              + QStringLiteral("[Install%1]\nDefault=k3x9.default-release\nLocked=1\n").arg(firefoxInstallHash(install)).toUtf8());
    ini.close();

    const QString places = p + "/places.sqlite";
    exec(places, R"(
        PRAGMA journal_mode = WAL;
        CREATE TABLE moz_origins(id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT NULL,
            frecency INTEGER NOT NULL, UNIQUE (prefix, host));
        CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, rev_host LONGVARCHAR,
            visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, typed INTEGER DEFAULT 0 NOT NULL,
            frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER, guid TEXT,
            foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL,
            origin_id INTEGER REFERENCES moz_origins(id));
        CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, from_visit INTEGER, place_id INTEGER,
            visit_date INTEGER, visit_type INTEGER, session INTEGER);
        CREATE TABLE moz_inputhistory(place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL, use_count INTEGER,
            PRIMARY KEY (place_id, input));
        CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, parent INTEGER,
            position INTEGER, title LONGVARCHAR);
        CREATE TABLE moz_keywords(id INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT UNIQUE, place_id INTEGER,
            post_data TEXT);
        CREATE TABLE moz_anno_attributes(id INTEGER PRIMARY KEY, name VARCHAR(32) UNIQUE NOT NULL);
        CREATE TABLE moz_annos(id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, anno_attribute_id INTEGER,
            content LONGVARCHAR, flags INTEGER DEFAULT 0, expiration INTEGER DEFAULT 0, type INTEGER DEFAULT 0,
            dateAdded INTEGER DEFAULT 0, lastModified INTEGER DEFAULT 0);
        INSERT INTO moz_anno_attributes VALUES(1, 'downloads/destinationFileURI');
        INSERT INTO moz_anno_attributes VALUES(2, 'downloads/metaData');
        INSERT INTO moz_anno_attributes VALUES(3, 'bookmarkProperties/description');
        INSERT INTO moz_origins VALUES(1, 'https://', 'kept-bookmark.example', 1);
        INSERT INTO moz_origins VALUES(2, 'https://', 'TVMARK-firefox-origin.example', 1);
        -- A bookmarked place (with a keyword) that has been visited too.
        INSERT INTO moz_places(id, url, title, visit_count, last_visit_date, foreign_count, origin_id)
            VALUES(1, 'https://kept-bookmark.example/', 'Kept bookmark', 4, 99, 2, 1);
        INSERT INTO moz_bookmarks VALUES(10, 1, 1, 2, 0, 'Kept bookmark');
        INSERT INTO moz_keywords VALUES(1, 'kept', 1, NULL);
        INSERT INTO moz_annos VALUES(1, 1, 3, 'kept description', 0, 0, 3, 0, 0);
        INSERT INTO moz_historyvisits VALUES(1, 0, 1, 50, 1, 0);
        -- One download: a place, its annotations and its visit of type 7.
        INSERT INTO moz_places(id, url, title, visit_count, foreign_count, origin_id)
            VALUES(2, 'https://TVMARK-firefox-download.example/file.iso', 'TVMARK-firefox-download', 1, 0, 2);
        INSERT INTO moz_annos VALUES(2, 2, 1, 'file:///home/u/TVMARK-firefox-download-target.iso', 0, 0, 3, 0, 0);
        INSERT INTO moz_annos VALUES(3, 2, 2, '{"state":1}', 0, 0, 3, 0, 0);
        INSERT INTO moz_historyvisits VALUES(2, 0, 2, 60, 7, 0);
    )");
    // The history rows are written with the log kept, so they sit in the WAL
    // file as a running browser would leave them.
    sqlite3* h2 = openDb(places);
    sqlite3_db_config(h2, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    QString fill = "BEGIN;";
    for (int i = 0; i < rows; ++i) {
        const int id = 100 + i;
        fill += QStringLiteral("INSERT INTO moz_places(id, url, title, visit_count, foreign_count, origin_id) VALUES("
                               "%1, 'https://TVMARK-firefox-history.example/%1', 'TVMARK-firefox-title', 1, 0, 2);"
                               "INSERT INTO moz_historyvisits VALUES(%1, 0, %1, %1, 1, 0);")
                    .arg(id);
    }
    fill += "INSERT INTO moz_inputhistory VALUES(100, 'TVMARK-firefox-typed', 1); COMMIT;";
    EXPECT_EQ(sqlite3_exec(h2, fill.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(h2);

    // The icons of the visited pages and of the bookmark, the history's in
    // the log as Firefox leaves them.
    const QString favicons = p + "/favicons.sqlite";
    exec(favicons, R"(
        PRAGMA journal_mode = WAL;
        CREATE TABLE moz_icons(id INTEGER PRIMARY KEY, icon_url TEXT NOT NULL, fixed_icon_url_hash INTEGER NOT NULL,
            width INTEGER NOT NULL DEFAULT 0, root INTEGER NOT NULL DEFAULT 0, color INTEGER,
            expire_ms INTEGER NOT NULL DEFAULT 0, flags INTEGER NOT NULL DEFAULT 0, data BLOB);
        CREATE TABLE moz_pages_w_icons(id INTEGER PRIMARY KEY, page_url TEXT NOT NULL, page_url_hash INTEGER NOT NULL);
        CREATE TABLE moz_icons_to_pages(page_id INTEGER NOT NULL, icon_id INTEGER NOT NULL,
            expire_ms INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (page_id, icon_id)) WITHOUT ROWID;
        INSERT INTO moz_icons VALUES(1, 'https://kept-bookmark.example/icon.png', 1, 16, 0, NULL, 0, 0, X'00');
        INSERT INTO moz_pages_w_icons VALUES(1, 'https://kept-bookmark.example/', 1);
        INSERT INTO moz_icons_to_pages VALUES(1, 1, 0);
    )");
    sqlite3* icons = openDb(favicons);
    sqlite3_db_config(icons, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    QString iconRows = "BEGIN;"
                       "INSERT INTO moz_icons VALUES(2, 'https://TVMARK-firefox-history.example/TVMARK-firefox-icon.png', "
                       "2, 16, 0, NULL, 0, 0, X'00');"
                       "INSERT INTO moz_icons VALUES(3, 'https://TVMARK-firefox-history.example/favicon.ico', "
                       "3, 16, 1, NULL, 0, 0, X'00');";
    for (int i = 0; i < rows; ++i)
        iconRows += QStringLiteral("INSERT INTO moz_pages_w_icons VALUES(%1, "
                                   "'https://TVMARK-firefox-history.example/%1?q=TVMARK-firefox-iconquery', %1);"
                                   "INSERT INTO moz_icons_to_pages VALUES(%1, 2, 0);")
                        .arg(100 + i);
    iconRows += "COMMIT;";
    EXPECT_EQ(sqlite3_exec(icons, iconRows.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(icons);

    exec(p + "/cookies.sqlite", R"(
        CREATE TABLE moz_cookies(id INTEGER PRIMARY KEY, name TEXT, value TEXT, host TEXT);
        INSERT INTO moz_cookies VALUES(1, 'sid', 'TVMARK-firefox-cookie', '.example');
    )");
    QFile logins(p + "/logins.json");
    logins.open(QIODevice::WriteOnly);
    logins.write(R"({"nextId":3,"logins":[{"id":1,"hostname":"https://a.example","encryptedUsername":"TVMARK-firefox-login"},)"
                 R"({"id":2,"hostname":"https://b.example","encryptedUsername":"x"}],"version":3})");
    logins.close();
    QFile backup(p + "/logins-backup.json");
    backup.open(QIODevice::WriteOnly);
    backup.write(R"({"logins":[]})");
    backup.close();
    exec(p + "/key4.db", R"(
        CREATE TABLE metaData(id PRIMARY KEY UNIQUE ON CONFLICT REPLACE, item1, item2);
        INSERT INTO metaData VALUES('password', X'00112233', X'44556677');
    )");
    QFile session(p + "/sessionstore.jsonlz4");
    session.open(QIODevice::WriteOnly);
    session.write(QByteArray(3000, 'j'));
    session.close();
    QFile recovery(p + "/sessionstore-backups/recovery.jsonlz4");
    recovery.open(QIODevice::WriteOnly);
    recovery.write(QByteArray(1000, 'r'));
    recovery.close();
    // The decoy profile has its own places that must not be read.
    exec(root + "/old1.default/places.sqlite",
         "CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY); INSERT INTO moz_historyvisits VALUES(1);");

    QDir().mkpath(h.firefoxCache() + "/cache2/entries");
    QDir().mkpath(h.firefoxCache() + "/startupCache");
    QFile entry(h.firefoxCache() + "/cache2/entries/ABCD");
    entry.open(QIODevice::WriteOnly);
    entry.write(QByteArray(5000, 'e'));
}

void chownHome(const Home& h)
{
    if (::geteuid() != 0)
        return;
    ::chmod(QFile::encodeName(h.tree.path()).constData(), 0755);
    ::chown(QFile::encodeName(h.home).constData(), testUid(), testGid());
    QDirIterator it(h.home, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ::lchown(QFile::encodeName(it.next()).constData(), testUid(), testGid());
}

BrowerObjPtr browser(const QString& name, const QString& key, BrowserData& data)
{
    auto node = std::make_shared<BrowerObj>();
    node->name = name;
    node->browserKey = key;
    if (key == QLatin1String("Firefox"))
        node->installDir = kFirefoxInstall;
    node->isSelect = 1;
    BrowserTree::getSubArrWithKey(key, node, BrowserTree::loadEraserHistory(QStringLiteral(TV_SOURCE_DIR "/resources/share/EraserHistory.plist")), data);
    return node;
}

BrowerObjPtr categoryOf(const BrowerObjPtr& browser, const QString& name)
{
    for (const BrowerObjPtr& c : browser->chrArr)
        if (c->name == name)
            return c;
    ADD_FAILURE() << "no category " << name.toStdString();
    return std::make_shared<BrowerObj>();
}

bool startAsBrowser(QProcess& process, const TempTree& bin, const QString& program)
{
    ::chmod(QFile::encodeName(bin.path()).constData(), 0755);
    QFile::copy("/bin/sleep", bin / program);
    ::chmod(QFile::encodeName(bin / program).constData(), 0755);
    process.setProgram(bin / program);
    process.setArguments({"30"});
    process.setChildProcessModifier([] {
        (void)::setgid(testGid());
        (void)::setuid(testUid());
    });
    process.start();
    if (!process.waitForStarted())
        return false;
    // Until it has run its program, it is not that program yet.
    QThread::msleep(100);
    return true;
}

bool readableAnywhere(const QString& path, const QByteArray& marker)
{
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
        if (TempTree::read(path + suffix).contains(marker))
            return true;
    return false;
}

}  // namespace fixture
