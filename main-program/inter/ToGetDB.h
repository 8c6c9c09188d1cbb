#pragma once
#include <QString>
#include <QStringList>

#include <QList>
#include <QMap>

#include <optional>

// A count read from a browser's database. A database that does not exist
// counts 0 and is not a failure; one that cannot be read is.
struct DbCount
{
    bool ok = false;
    qint64 count = 0;
    QString error;  // why it could not be read, for the row and the log
};

// The end of one group of statements: all of them committed, or none.
struct DbResult
{
    bool ok = false;
    QString error;
    // Whether the database was there at all: a missing one is not a failure,
    // but nothing was cleaned in it either.
    bool found = false;
};

// One statement of a group and the tables it needs; it is skipped when any
// of them is missing from the database.
struct DbStep
{
    QStringList tables;
    QString sql;
};

// The gateway to the browsers' own SQLite databases. No state is kept
// between calls: each operation opens its own connection and closes it.
//
// Invariants: a database is never created (read-write without create, links
// not followed); a count never writes; every group of statements runs in one
// BEGIN IMMEDIATE ... COMMIT, so a browser holding the database makes the
// whole group fail and a failed statement leaves nothing half-deleted; after
// the commit the file is rebuilt (VACUUM), so pages freed before the clean
// lose their old rows too, and the write-ahead log or journal is emptied
// before the connection closes: no deleted row stays readable in the files.
class ToGetDB
{
public:
    static ToGetDB& returnToGetDB();

    // Google Chrome and Opera share the layout of History, Cookies and Login Data.
    DbResult toDeletePasswordWith(const QString& path);
    DbResult toDeleteDownloadWith(const QString& path);
    DbResult toDeleteHistoryWith(const QString& path);
    DbResult toDeleteGoogleCookiesWith(const QString& path);
    // Every row of every table but `keep` (the schema's version): for the
    // databases that hold nothing but what was visited.
    DbResult toEmptyTablesWith(const QString& path, const QStringList& keep = {QStringLiteral("meta")});
    DbResult operaDeleteHistoryWith(const QString& path) { return toDeleteHistoryWith(path); }
    DbResult operaDeleteDownloadWith(const QString& path) { return toDeleteDownloadWith(path); }
    DbResult operaDeletePasswordWith(const QString& path) { return toDeletePasswordWith(path); }
    // Firefox's places.sqlite: bookmarks and keywords are never touched.
    // The history keeps the downloads (visits of type 7, their annotations
    // and places), which are the download clean's; the download clean takes
    // them and the places nothing but a download kept.
    DbResult firefoxDeleteHistoryWith(const QString& path);
    DbResult firefoxDeleteDownloadWith(const QString& path);
    // Firefox's favicons.sqlite: the pages `places` no longer holds, and the
    // icons no page left uses (a site's root icon: no page of its origin).
    DbResult firefoxDeleteFaviconsWith(const QString& path, const QString& places);

    DbCount getGooglePasswordItems(const QString& path);
    DbCount getGoogleDownloadItems(const QString& path);
    DbCount getGoogleHistoryItems(const QString& path);
    DbCount getGoogleCookiesItems(const QString& path);
    DbCount getOperaHistoryItems(const QString& path) { return getGoogleHistoryItems(path); }
    DbCount getOperaDownloadItems(const QString& path) { return getGoogleDownloadItems(path); }
    DbCount getOperaPasswordItems(const QString& path) { return getGooglePasswordItems(path); }
    DbCount getFirefoxHistoryItems(const QString& path);
    DbCount getFirefoxDownloadItems(const QString& path);

    // The building blocks. `tables` must exist for the count to be read; a
    // missing table counts 0.
    static DbCount count(const QString& path, const QStringList& tables, const QString& sql);
    // The first column of every row of `sql`, read only; empty when a table
    // of `tables` is missing, nothing when the database cannot be read.
    static std::optional<QStringList> column(const QString& path, const QStringList& tables, const QString& sql);
    // `values` are put in one-column temporary tables (name to values) before
    // the steps, for the steps to compare with.
    static DbResult run(const QString& path, const QList<DbStep>& steps,
                        const QMap<QString, QStringList>& values = {});

    // How long a statement waits for a lock another connection holds before
    // the group fails.
    static constexpr int kBusyTimeoutMs = 300;
};
