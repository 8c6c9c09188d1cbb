#include "inter/ToGetDB.h"

#include "platform/Log.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <sys/stat.h>

#include <cerrno>
#include <optional>

namespace {

const QStringList kChromeHistoryTables{"visits", "visit_source", "keyword_search_terms", "segment_usage", "segments",
                                       "urls", "visited_links", "content_annotations", "context_annotations",
                                       "clusters", "clusters_and_visits", "cluster_keywords", "cluster_visit_duplicates",
                                       "journeys", "journey_history_entries", "journey_continuation_queries"};
const QStringList kChromeDownloadTables{"downloads", "downloads_url_chains", "downloads_slices"};
const QStringList kChromePasswordTables{"logins", "insecure_credentials", "password_notes"};

// What a failed open or statement means to the person at the screen.
QString describe(int code, sqlite3* db)
{
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("the database is in use by another program");
    case SQLITE_NOTADB:
        return QStringLiteral("the file is not a database");
    case SQLITE_CORRUPT:
        return QStringLiteral("the database is damaged");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("the database cannot be written");
    default:
        return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
    }
}

bool fileMissing(const QString& path)
{
    struct stat st{};
    return ::lstat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT;
}

class Connection
{
public:
    Connection(const QString& path, bool write)
    {
        const int flags = (write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOFOLLOW;
        m_code = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr);
        if (m_code != SQLITE_OK) {
            m_error = describe(m_code, m_db);
            platform::log(QStringLiteral("打开数据库失败！ %1: %2").arg(path, m_error));
            sqlite3_close(m_db);
            m_db = nullptr;
            return;
        }
        sqlite3_extended_result_codes(m_db, 0);
        sqlite3_busy_timeout(m_db, ToGetDB::kBusyTimeoutMs);
    }
    ~Connection()
    {
        if (m_db && !sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(m_db);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ok() const { return m_db != nullptr; }
    sqlite3* db() const { return m_db; }
    const QString& error() const { return m_error; }

    bool exec(const QString& sql)
    {
        m_code = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        if (m_code != SQLITE_OK)
            m_error = describe(m_code, m_db);
        return m_code == SQLITE_OK;
    }

    // -1 when the schema cannot be read (not a database, locked).
    int hasTable(const QString& table)
    {
        sqlite3_stmt* stmt = nullptr;
        m_code = sqlite3_prepare_v2(m_db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1", -1, &stmt,
                                    nullptr);
        if (m_code != SQLITE_OK) {
            m_error = describe(m_code, m_db);
            return -1;
        }
        const QByteArray name = table.toUtf8();
        sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        m_code = sqlite3_step(stmt);
        int result = m_code == SQLITE_ROW ? 1 : m_code == SQLITE_DONE ? 0 : -1;
        if (result < 0)
            m_error = describe(m_code, m_db);
        sqlite3_finalize(stmt);
        return result;
    }

    // A temporary one-column table `name` holding `values`.
    bool fill(const QString& name, const QStringList& values)
    {
        if (!exec(QStringLiteral("CREATE TEMP TABLE \"%1\"(v TEXT PRIMARY KEY)").arg(name)))
            return false;
        sqlite3_stmt* stmt = nullptr;
        m_code = sqlite3_prepare_v2(m_db, QStringLiteral("INSERT OR IGNORE INTO temp.\"%1\" VALUES(?1)").arg(name).toUtf8().constData(),
                                    -1, &stmt, nullptr);
        if (m_code != SQLITE_OK) {
            m_error = describe(m_code, m_db);
            return false;
        }
        for (const QString& value : values) {
            const QByteArray bytes = value.toUtf8();
            sqlite3_bind_text(stmt, 1, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
            m_code = sqlite3_step(stmt);
            sqlite3_reset(stmt);
            if (m_code != SQLITE_DONE) {
                m_error = describe(m_code, m_db);
                sqlite3_finalize(stmt);
                return false;
            }
        }
        sqlite3_finalize(stmt);
        return true;
    }

    // The first column of every row of `sql`.
    std::optional<QStringList> column(const QString& sql)
    {
        sqlite3_stmt* stmt = nullptr;
        m_code = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr);
        if (m_code != SQLITE_OK) {
            m_error = describe(m_code, m_db);
            return std::nullopt;
        }
        QStringList rows;
        while ((m_code = sqlite3_step(stmt)) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            rows << (text ? QString::fromUtf8(text) : QString());
        }
        sqlite3_finalize(stmt);
        if (m_code != SQLITE_DONE) {
            m_error = describe(m_code, m_db);
            return std::nullopt;
        }
        return rows;
    }

    // The first column of the first row of `sql`; empty for no row.
    std::optional<QString> value(const QString& sql)
    {
        const auto rows = column(sql);
        if (!rows)
            return std::nullopt;
        return rows->value(0);
    }

private:
    sqlite3* m_db = nullptr;
    int m_code = SQLITE_OK;
    QString m_error;
};

}  // namespace

ToGetDB& ToGetDB::returnToGetDB()
{
    static ToGetDB instance;
    return instance;
}

DbCount ToGetDB::count(const QString& path, const QStringList& tables, const QString& sql)
{
    DbCount result;
    if (fileMissing(path)) {
        result.ok = true;
        return result;
    }
    Connection c(path, false);
    if (!c.ok()) {
        result.error = c.error();
        return result;
    }
    for (const QString& table : tables) {
        const int has = c.hasTable(table);
        if (has < 0) {
            result.error = c.error();
            platform::log(QStringLiteral("cannot count in %1: %2").arg(path, result.error));
            return result;
        }
        if (has == 0) {
            result.ok = true;
            return result;
        }
    }
    const auto value = c.value(sql);
    if (!value) {
        result.error = c.error();
        platform::log(QStringLiteral("cannot count in %1: %2").arg(path, result.error));
        return result;
    }
    result.ok = true;
    result.count = value->toLongLong();
    platform::log(QStringLiteral("------%1").arg(result.count));
    return result;
}

std::optional<QStringList> ToGetDB::column(const QString& path, const QStringList& tables, const QString& sql)
{
    if (fileMissing(path))
        return QStringList();
    Connection c(path, false);
    if (!c.ok())
        return std::nullopt;
    for (const QString& table : tables) {
        const int has = c.hasTable(table);
        if (has < 0) {
            platform::log(QStringLiteral("cannot read %1: %2").arg(path, c.error()));
            return std::nullopt;
        }
        if (has == 0)
            return QStringList();
    }
    const auto rows = c.column(sql);
    if (!rows)
        platform::log(QStringLiteral("cannot read %1: %2").arg(path, c.error()));
    return rows;
}

DbResult ToGetDB::run(const QString& path, const QList<DbStep>& steps, const QMap<QString, QStringList>& values)
{
    DbResult result;
    // Nothing to clean where the browser has never written a database.
    if (fileMissing(path)) {
        result.ok = true;
        return result;
    }
    result.found = true;
    Connection c(path, true);
    if (!c.ok()) {
        result.error = c.error();
        return result;
    }
    // Deleted rows are overwritten, and a persistent journal or a log left
    // behind is cut to nothing at the end of the transaction. Temporary
    // tables and the rebuild's copy stay in memory: no file holds the rows.
    if (!c.exec(QStringLiteral("PRAGMA secure_delete = ON")) || !c.exec(QStringLiteral("PRAGMA journal_size_limit = 0"))
        || !c.exec(QStringLiteral("PRAGMA temp_store = MEMORY")) || !c.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        result.error = c.error();
        platform::log(QStringLiteral("delete time error: %1: %2").arg(path, result.error));
        return result;
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!c.fill(it.key(), it.value())) {
            result.error = c.error();
            platform::log(QStringLiteral("delete time error: %1: %2").arg(path, result.error));
            return result;
        }
    }
    bool first = true;
    for (const DbStep& step : steps) {
        bool present = true;
        for (const QString& table : step.tables) {
            const int has = c.hasTable(table);
            if (has < 0) {
                result.error = c.error();
                return result;  // the connection rolls back
            }
            present = present && has == 1;
        }
        if (!present)
            continue;
        if (!c.exec(step.sql)) {
            result.error = c.error();
            platform::log(QStringLiteral("%1: %2: %3: %4")
                              .arg(first ? QStringLiteral("delete time error") : QStringLiteral("delete base error"),
                                   path, step.sql, result.error));
            return result;
        }
        first = false;
    }
    if (!c.exec(QStringLiteral("COMMIT"))) {
        result.error = c.error();
        platform::log(QStringLiteral("delete base error: %1: commit: %2").arg(path, result.error));
        return result;
    }
    // Pages the browser freed long ago still hold old rows: the file is
    // rebuilt from what is left.
    if (!c.exec(QStringLiteral("VACUUM"))) {
        result.error = QStringLiteral("deleted, but the database could not be rebuilt: traces may remain (%1)").arg(c.error());
        platform::log(QStringLiteral("delete base error: %1: vacuum: %2").arg(path, c.error()));
        return result;
    }
    // In write-ahead-log mode the old pages still sit in the log until it is
    // copied back and cut; a reader holding it open keeps them there.
    const auto mode = c.value(QStringLiteral("PRAGMA journal_mode"));
    if (mode && mode->compare(QStringLiteral("wal"), Qt::CaseInsensitive) == 0) {
        const auto busy = c.value(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        if (!busy || *busy != QStringLiteral("0")) {
            result.error = QStringLiteral("deleted, but another program still holds the database: traces may remain");
            platform::log(QStringLiteral("delete base error: %1: checkpoint: %2").arg(path, c.error()));
            return result;
        }
    }
    result.ok = true;
    platform::log(QStringLiteral("---%1").arg(path));
    return result;
}

namespace {

QList<DbStep> deleteAllOf(const QStringList& tables)
{
    QList<DbStep> steps;
    for (const QString& table : tables)
        steps.append({{table}, QStringLiteral("DELETE FROM \"%1\"").arg(table)});
    return steps;
}

// Downloads leave annotations named "downloads/..." and visits of type 7.
const QString kDownloadAnnos =
    QStringLiteral("SELECT id FROM moz_anno_attributes WHERE name LIKE 'downloads/%'");

// A download's place: one with a visit of type 7 or a download annotation.
const QString kDownloadPlaces = QStringLiteral("SELECT place_id FROM moz_historyvisits WHERE visit_type = 7 "
                                               "UNION SELECT place_id FROM moz_annos WHERE anno_attribute_id IN (%1)")
                                    .arg(kDownloadAnnos);
const QStringList kDownloadTables{"moz_places", "moz_historyvisits", "moz_annos", "moz_anno_attributes"};

}  // namespace

DbResult ToGetDB::toDeletePasswordWith(const QString& path) { return run(path, deleteAllOf(kChromePasswordTables)); }
DbResult ToGetDB::toDeleteDownloadWith(const QString& path) { return run(path, deleteAllOf(kChromeDownloadTables)); }
DbResult ToGetDB::toDeleteHistoryWith(const QString& path) { return run(path, deleteAllOf(kChromeHistoryTables)); }
DbResult ToGetDB::toDeleteGoogleCookiesWith(const QString& path) { return run(path, deleteAllOf({"cookies"})); }

DbResult ToGetDB::toEmptyTablesWith(const QString& path, const QStringList& keep)
{
    const auto tables = column(path, {}, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                                         "AND name NOT LIKE 'sqlite_%'"));
    if (!tables) {
        DbResult result;
        result.found = true;
        result.error = QStringLiteral("the database cannot be read");
        return result;
    }
    QStringList emptied;
    for (const QString& table : *tables)
        if (!keep.contains(table))
            emptied << table;
    return run(path, deleteAllOf(emptied));
}

DbResult ToGetDB::firefoxDeleteHistoryWith(const QString& path)
{
    // A place a bookmark or keyword refers to has foreign_count > 0: it stays,
    // with its visit traces reset. A download's place stays for the download
    // clean. Everything else goes.
    return run(path, {
        {{"moz_historyvisits"}, QStringLiteral("DELETE FROM moz_historyvisits WHERE visit_type IS NOT 7")},
        {{"moz_inputhistory"}, QStringLiteral("DELETE FROM moz_inputhistory")},
        {kDownloadTables,
         QStringLiteral("DELETE FROM moz_annos WHERE place_id IN (SELECT id FROM moz_places WHERE foreign_count = 0 "
                        "AND id NOT IN (%1))").arg(kDownloadPlaces)},
        {{"moz_places", "moz_historyvisits", "moz_annos"},
         QStringLiteral("DELETE FROM moz_places WHERE foreign_count = 0 AND id NOT IN "
                        "(SELECT place_id FROM moz_historyvisits UNION SELECT place_id FROM moz_annos)")},
        {{"moz_places", "moz_historyvisits"},
         QStringLiteral("UPDATE moz_places SET visit_count = 0, last_visit_date = "
                        "(SELECT max(visit_date) FROM moz_historyvisits v WHERE v.place_id = moz_places.id)")},
        // What the pages were used for and searched with.
        {{"moz_places_metadata"}, QStringLiteral("DELETE FROM moz_places_metadata")},
        {{"moz_places_metadata_search_queries"}, QStringLiteral("DELETE FROM moz_places_metadata_search_queries")},
        {{"moz_historyvisits_extra", "moz_historyvisits"},
         QStringLiteral("DELETE FROM moz_historyvisits_extra WHERE visit_id NOT IN (SELECT id FROM moz_historyvisits)")},
        {{"moz_places_extra", "moz_places"},
         QStringLiteral("DELETE FROM moz_places_extra WHERE place_id NOT IN (SELECT id FROM moz_places)")},
        {{"moz_origins", "moz_places"},
         QStringLiteral("DELETE FROM moz_origins WHERE id NOT IN (SELECT origin_id FROM moz_places WHERE origin_id IS NOT NULL)")},
    });
}

DbResult ToGetDB::firefoxDeleteDownloadWith(const QString& path)
{
    // The places a download alone kept go, or the address bar keeps offering
    // them; a place visited otherwise, bookmarked or with a keyword stays,
    // its last visit now its last visit that was not a download.
    return run(path, {
        {kDownloadTables,
         QStringLiteral("DELETE FROM moz_places WHERE foreign_count = 0 AND id IN (%1) AND id NOT IN "
                        "(SELECT place_id FROM moz_historyvisits WHERE visit_type IS NOT 7)").arg(kDownloadPlaces)},
        {{"moz_places", "moz_historyvisits"},
         QStringLiteral("UPDATE moz_places SET last_visit_date = (SELECT max(visit_date) FROM moz_historyvisits v "
                        "WHERE v.place_id = moz_places.id AND v.visit_type IS NOT 7) "
                        "WHERE id IN (SELECT place_id FROM moz_historyvisits WHERE visit_type = 7)")},
        {{"moz_annos", "moz_anno_attributes"},
         QStringLiteral("DELETE FROM moz_annos WHERE anno_attribute_id IN (%1)").arg(kDownloadAnnos)},
        {{"moz_historyvisits"}, QStringLiteral("DELETE FROM moz_historyvisits WHERE visit_type = 7")},
        {{"moz_annos", "moz_places"}, QStringLiteral("DELETE FROM moz_annos WHERE place_id NOT IN (SELECT id FROM moz_places)")},
        {{"moz_origins", "moz_places"},
         QStringLiteral("DELETE FROM moz_origins WHERE id NOT IN (SELECT origin_id FROM moz_places WHERE origin_id IS NOT NULL)")},
    });
}

DbResult ToGetDB::firefoxDeleteFaviconsWith(const QString& path, const QString& places)
{
    // Read after the places were cleaned: what is left is what keeps its icons.
    const auto kept = column(places, {"moz_places"}, QStringLiteral("SELECT url FROM moz_places"));
    if (!kept) {
        DbResult result;
        result.found = !fileMissing(path);
        result.ok = !result.found;
        result.error = QStringLiteral("places.sqlite cannot be read, so the icons of visited pages stay");
        return result;
    }
    QStringList origins;
    for (const QString& url : *kept) {
        const qsizetype scheme = url.indexOf(QLatin1String("://"));
        if (scheme <= 0)
            continue;
        const qsizetype slash = url.indexOf('/', scheme + 3);
        origins << (slash < 0 ? url : url.left(slash)) + '/';
    }
    return run(path, {
        {{"moz_pages_w_icons"},
         QStringLiteral("DELETE FROM moz_pages_w_icons WHERE page_url NOT IN (SELECT v FROM temp.kept_pages)")},
        {{"moz_icons_to_pages", "moz_pages_w_icons"},
         QStringLiteral("DELETE FROM moz_icons_to_pages WHERE page_id NOT IN (SELECT id FROM moz_pages_w_icons)")},
        {{"moz_icons", "moz_icons_to_pages"},
         QStringLiteral("DELETE FROM moz_icons WHERE root = 0 AND id NOT IN (SELECT icon_id FROM moz_icons_to_pages)")},
        {{"moz_icons"},
         QStringLiteral("DELETE FROM moz_icons WHERE root = 1 AND NOT EXISTS (SELECT 1 FROM temp.kept_origins o "
                        "WHERE substr(moz_icons.icon_url, 1, length(o.v)) = o.v) "
                        "AND id NOT IN (SELECT icon_id FROM moz_icons_to_pages)")},
    }, {{QStringLiteral("kept_pages"), *kept}, {QStringLiteral("kept_origins"), origins}});
}

DbCount ToGetDB::getGooglePasswordItems(const QString& path)
{
    return count(path, {"logins"}, QStringLiteral("SELECT count(*) FROM logins"));
}
DbCount ToGetDB::getGoogleDownloadItems(const QString& path)
{
    return count(path, {"downloads"}, QStringLiteral("SELECT count(*) FROM downloads"));
}
DbCount ToGetDB::getGoogleHistoryItems(const QString& path)
{
    return count(path, {"urls"}, QStringLiteral("SELECT count(*) FROM urls"));
}
DbCount ToGetDB::getGoogleCookiesItems(const QString& path)
{
    return count(path, {"cookies"}, QStringLiteral("SELECT count(*) FROM cookies"));
}
DbCount ToGetDB::getFirefoxHistoryItems(const QString& path)
{
    return count(path, {"moz_historyvisits"}, QStringLiteral("SELECT count(*) FROM moz_historyvisits"));
}
DbCount ToGetDB::getFirefoxDownloadItems(const QString& path)
{
    // Each download counts once, whether it left annotations, a visit or both.
    return count(path, {"moz_historyvisits", "moz_annos", "moz_anno_attributes"},
                 QStringLiteral("SELECT count(*) FROM (SELECT place_id FROM moz_historyvisits WHERE visit_type = 7 "
                                "UNION SELECT place_id FROM moz_annos WHERE anno_attribute_id IN (%1))")
                     .arg(kDownloadAnnos));
}
