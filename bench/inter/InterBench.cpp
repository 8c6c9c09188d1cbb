// Times the Internet Cleanup's measure of every category and its clean of
// every category for Google Chrome, Firefox and Opera, each with a large
// history, against the sqlite3 shell running the bare counts and deletes on
// the same databases. Fixtures live in the given folder (the build tree's
// disk by default, never tmpfs, so the writes are real).
#include "inter/BrowserData.h"
#include "inter/BrowserTree.h"
#include "inter/FirefoxProfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

void exec(const QString& db, const QString& sql)
{
    sqlite3* h = nullptr;
    sqlite3_open(QFile::encodeName(db).constData(), &h);
    char* error = nullptr;
    if (sqlite3_exec(h, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK)
        std::fprintf(stderr, "%s: %s\n", qPrintable(db), error);
    sqlite3_free(error);
    sqlite3_close(h);
}

void chromium(const QString& profile, int rows)
{
    QDir().mkpath(profile + "/Sessions");
    QString sql = R"(
        CREATE TABLE urls(id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, visit_count INTEGER,
            last_visit_time INTEGER);
        CREATE TABLE visits(id INTEGER PRIMARY KEY, url INTEGER, visit_time INTEGER, transition INTEGER);
        CREATE TABLE visit_source(id INTEGER PRIMARY KEY, source INTEGER);
        CREATE TABLE keyword_search_terms(keyword_id INTEGER, url_id INTEGER, term LONGVARCHAR, normalized_term LONGVARCHAR);
        CREATE TABLE segments(id INTEGER PRIMARY KEY, name VARCHAR, url_id INTEGER);
        CREATE TABLE segment_usage(id INTEGER PRIMARY KEY, segment_id INTEGER, time_slot INTEGER, visit_count INTEGER);
        CREATE TABLE downloads(id INTEGER PRIMARY KEY, guid VARCHAR, target_path LONGVARCHAR);
        CREATE TABLE downloads_url_chains(id INTEGER, chain_index INTEGER, url LONGVARCHAR, PRIMARY KEY (id, chain_index));
        CREATE TABLE downloads_slices(download_id INTEGER, offset INTEGER, received_bytes INTEGER, PRIMARY KEY (download_id, offset));
        BEGIN;
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)
        INSERT INTO urls SELECT i, 'https://site' || i || '.example/page/' || i, 'Title of page ' || i, 1, i FROM n;
        INSERT INTO visits SELECT id, id, id, 1 FROM urls;
        INSERT INTO visit_source SELECT id, 1 FROM urls;
        INSERT INTO keyword_search_terms SELECT 2, id, 'term' || id, 'term' || id FROM urls WHERE id % 10 = 0;
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000)
        INSERT INTO downloads SELECT i, 'guid' || i, '/home/u/Downloads/file' || i FROM n;
        INSERT INTO downloads_url_chains SELECT id, 0, 'https://dl.example/' || id FROM downloads;
        COMMIT;)";
    exec(profile + "/History", sql.arg(rows));
    exec(profile + "/Cookies", R"(CREATE TABLE cookies(creation_utc INTEGER, host_key TEXT, name TEXT, value TEXT);
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000)
        INSERT INTO cookies SELECT i, '.site' || i || '.example', 'sid', 'value' || i FROM n;)");
    exec(profile + "/Login Data", R"(CREATE TABLE logins(origin_url VARCHAR, username_value VARCHAR, password_value BLOB,
        id INTEGER PRIMARY KEY); INSERT INTO logins VALUES('https://a.example/', 'u', x'00', 1);)");
    QFile session(profile + "/Sessions/Session_1");
    session.open(QIODevice::WriteOnly);
    session.write(QByteArray(1 << 20, 's'));
}

// The installation the Firefox row stands for: its profile is named by
// that installation's own section.
QString gInstall;

void firefox(const QString& root, int rows)
{
    const QString p = root + "/bench.default-release";
    QDir().mkpath(p);
    QFile ini(root + "/profiles.ini");
    ini.open(QIODevice::WriteOnly);
    ini.write(QStringLiteral("[Install%1]\nDefault=bench.default-release\n").arg(firefoxInstallHash(gInstall)).toUtf8());
    ini.close();
    QString sql = R"(
        PRAGMA journal_mode = WAL;
        CREATE TABLE moz_origins(id INTEGER PRIMARY KEY, prefix TEXT, host TEXT, frecency INTEGER);
        CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, visit_count INTEGER DEFAULT 0,
            last_visit_date INTEGER, foreign_count INTEGER DEFAULT 0 NOT NULL, origin_id INTEGER);
        CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, from_visit INTEGER, place_id INTEGER, visit_date INTEGER,
            visit_type INTEGER, session INTEGER);
        CREATE INDEX moz_historyvisits_placedateindex ON moz_historyvisits (place_id, visit_date);
        CREATE TABLE moz_inputhistory(place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL, use_count INTEGER,
            PRIMARY KEY (place_id, input));
        CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER, parent INTEGER, title LONGVARCHAR);
        CREATE TABLE moz_keywords(id INTEGER PRIMARY KEY, keyword TEXT UNIQUE, place_id INTEGER);
        CREATE TABLE moz_anno_attributes(id INTEGER PRIMARY KEY, name VARCHAR(32) UNIQUE NOT NULL);
        CREATE TABLE moz_annos(id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, anno_attribute_id INTEGER, content LONGVARCHAR);
        CREATE INDEX moz_annos_placeattributeindex ON moz_annos (place_id, anno_attribute_id);
        INSERT INTO moz_anno_attributes VALUES(1, 'downloads/destinationFileURI');
        BEGIN;
        WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)
        INSERT INTO moz_places SELECT i, 'https://site' || i || '.example/page/' || i, 'Title ' || i, 1, i,
            CASE WHEN i % 100 = 0 THEN 1 ELSE 0 END, 1 FROM n;
        INSERT INTO moz_historyvisits SELECT id, 0, id, id, CASE WHEN id % 50 = 0 THEN 7 ELSE 1 END, 0 FROM moz_places;
        INSERT INTO moz_annos SELECT id, id, 1, 'file:///home/u/Downloads/f' || id FROM moz_places WHERE id % 50 = 0;
        INSERT INTO moz_bookmarks SELECT id, 1, id, 2, title FROM moz_places WHERE foreign_count = 1;
        COMMIT;)";
    exec(p + "/places.sqlite", sql.arg(rows));
    exec(p + "/cookies.sqlite", "CREATE TABLE moz_cookies(id INTEGER PRIMARY KEY, value TEXT);");
    QFile logins(p + "/logins.json");
    logins.open(QIODevice::WriteOnly);
    logins.write(R"({"logins":[{"id":1}]})");
}

void makeHome(const QString& home, int rows)
{
    chromium(home + "/.config/google-chrome/Default", rows);
    chromium(home + "/.config/opera", rows);
    firefox(home + "/.mozilla/firefox", rows);
    QDir().mkpath(home + "/.cache/google-chrome/Default");
}

void copyTree(const QString& from, const QString& to)
{
    QProcess::execute("cp", {"-a", from, to});
}

void chownTree(const QString& home, uid_t uid)
{
    if (::geteuid() != 0)
        return;
    QProcess::execute("chown", {"-R", QStringLiteral("%1:%1").arg(uid), home});
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The sqlite3 shell doing only the counts, or only the deletes, the screen does.
double peer(const QString& home, bool clean)
{
    const QString chromeH = home + "/.config/google-chrome/Default/History";
    const QString operaH = home + "/.config/opera/History";
    const QString places = home + "/.mozilla/firefox/bench.default-release/places.sqlite";
    const QList<QPair<QString, QString>> work =
        clean ? QList<QPair<QString, QString>>{
                    {chromeH, "DELETE FROM visits; DELETE FROM urls; DELETE FROM downloads;"},
                    {operaH, "DELETE FROM visits; DELETE FROM urls; DELETE FROM downloads;"},
                    {places, "DELETE FROM moz_historyvisits; DELETE FROM moz_places WHERE foreign_count = 0;"}}
              : QList<QPair<QString, QString>>{
                    {chromeH, "SELECT count(*) FROM urls; SELECT count(*) FROM downloads;"},
                    {operaH, "SELECT count(*) FROM urls; SELECT count(*) FROM downloads;"},
                    {places, "SELECT count(*) FROM moz_historyvisits;"}};
    QElapsedTimer t;
    t.start();
    for (const auto& [db, sql] : work)
        QProcess::execute("sqlite3", {db, sql});
    return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString base = QDir(args.value(1, QDir::currentPath())).absolutePath();
    const int rows = args.value(2, "100000").toInt();
    const int rounds = args.value(3, "3").toInt();
    const QString work = base + QStringLiteral("/tv-inter-bench-%1").arg(::getpid());
    QDir().mkpath(work);
    const QString model = work + "/model";
    QDir().mkpath(work + "/firefox");
    for (const char* name : {"/firefox/firefox-esr", "/firefox/application.ini"}) {
        QFile f(work + name);
        f.open(QIODevice::WriteOnly);
    }
    gInstall = QDir(work + "/firefox").canonicalPath();
    makeHome(model, rows);
    const uid_t uid = ::geteuid() == 0 ? 4242 : ::getuid();
    chownTree(model, uid);

    const QList<InstalledApp> apps{{"Google Chrome", "", "google-chrome", "", "", ""},
                                   {"Firefox", "", "firefox-esr", "", gInstall + "/firefox-esr", ""},
                                   {"Opera", "", "opera", "", "", ""}};
    const QVariantMap plist = BrowserTree::loadEraserHistory(QStringLiteral(TV_SOURCE_DIR "/resources/share/EraserHistory.plist"));
    QList<double> measures, cleans, peerMeasures, peerCleans;
    int categories = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString home = work + QStringLiteral("/home%1").arg(round);
        copyTree(model, home);
        const QString peerHome = work + QStringLiteral("/peer%1").arg(round);
        copyTree(model, peerHome);
        QProcess::execute("sync", {});

        BrowserData data({uid, gid_t(uid), home, {}});
        QElapsedTimer t;
        t.start();
        const BrowerObjList tree = BrowserTree::build(apps, plist, data);
        measures << t.nsecsElapsed() / 1e6;
        t.restart();
        categories = 0;
        for (const BrowerObjPtr& browser : tree)
            for (const BrowerObjPtr& category : browser->chrArr) {
                data.clean(*category);
                ++categories;
                if (category->outcome == BrowerObj::Outcome::Failed)
                    std::fprintf(stderr, "failed: %s %s: %s\n", qPrintable(browser->name), qPrintable(category->name),
                                 qPrintable(category->failReason));
            }
        cleans << t.nsecsElapsed() / 1e6;
        peerMeasures << peer(peerHome, false);
        peerCleans << peer(peerHome, true);
        QDir(home).removeRecursively();
        QDir(peerHome).removeRecursively();
    }
    QDir(work).removeRecursively();

    std::printf("three browsers, %d history rows each, %d categories, median of %d rounds\n", rows, categories, rounds);
    std::printf("measure all: %8.1f ms   (sqlite3 shell, bare counts: %8.1f ms, ratio %.2f)   target < 200 ms\n",
                median(measures), median(peerMeasures), median(measures) / median(peerMeasures));
    std::printf("clean all:   %8.1f ms   (sqlite3 shell, bare deletes: %8.1f ms, ratio %.2f)   target < 1000 ms\n",
                median(cleans), median(peerCleans), median(cleans) / median(peerCleans));
    return median(measures) < 200 && median(cleans) < 1000 ? 0 : 1;
}
