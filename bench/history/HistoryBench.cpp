// Times the history store against the straightforward way of doing the same
// work, side by side on the same disk:
//  - recording one run of 10,000 items: one transaction vs. one commit per row;
//  - loading 1,000 runs of 50 items: one pass grouped in memory vs. one query per run.
#include "SetEraserLevel/DoDataBase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

namespace {

sqlite3* open(const QString& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE IF NOT EXISTS TimeBase (Time TEXT, Type TEXT);"
                 "CREATE TABLE IF NOT EXISTS BaseTable (Itmes TEXT, ErasureAlgorithm TEXT, Result TEXT, Time TEXT);",
                 nullptr, nullptr, nullptr);
    return db;
}

void insert(sqlite3* db, const char* sql, const QList<QByteArray>& values)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    for (int i = 0; i < values.size(); ++i)
        sqlite3_bind_text(st, i + 1, values[i].constData(), -1, SQLITE_STATIC);
    sqlite3_step(st);
    sqlite3_finalize(st);
}

// Every statement prepared afresh and committed on its own.
double recordRowByRow(const QString& path, int items)
{
    QElapsedTimer t;
    t.start();
    sqlite3* db = open(path);
    const QByteArray key = "2026-12-08 07-34-51";
    insert(db, "INSERT INTO TimeBase (Time,Type) VALUES (?,?)", {key, "WipeFile"});
    insert(db, "INSERT INTO BaseTable (Itmes,ErasureAlgorithm,Result,Time) VALUES (?,?,?,?)",
           {"Items", "Erasure Algorithm", "Result", key});
    for (int i = 0; i < items; ++i)
        insert(db, "INSERT INTO BaseTable (Itmes,ErasureAlgorithm,Result,Time) VALUES (?,?,?,?)",
               {"/home/user/files/document-" + QByteArray::number(i) + ".txt", "HMG Infosec Standard 5", "Erased", key});
    sqlite3_close(db);
    return t.nsecsElapsed() / 1e6;
}

double recordWhole(const QString& path, int items)
{
    FileObjList list;
    for (int i = 0; i < items; ++i) {
        auto obj = std::make_shared<FileObj>();
        obj->url = QStringLiteral("/home/user/files/document-%1.txt").arg(i);
        obj->failStr = QStringLiteral("Erased");
        list << obj;
    }
    DoDataBase store(path);
    QElapsedTimer t;
    t.start();
    if (!store.writePlistForHistoryWithArr(list))
        std::fprintf(stderr, "recording failed\n");
    return t.nsecsElapsed() / 1e6;
}

void fillHistory(const QString& path, int runs, int items)
{
    sqlite3* db = open(path);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0));
    for (int r = 0; r < runs; ++r) {
        const QByteArray key = DoDataBase::timeKey(start.addSecs(r * 3600)).toUtf8();
        insert(db, "INSERT INTO TimeBase VALUES (?,?)", {key, "WipeFile"});
        insert(db, "INSERT INTO BaseTable VALUES (?,?,?,?)", {"Items", "Erasure Algorithm", "Result", key});
        for (int i = 0; i < items; ++i)
            insert(db, "INSERT INTO BaseTable VALUES (?,?,?,?)",
                   {"/home/user/run" + QByteArray::number(r) + "/file-" + QByteArray::number(i),
                    "DoD 5220.22-M ECE", "Erased", key});
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

QString text(sqlite3_stmt* st, int column)
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    return data ? QString::fromUtf8(data) : QString();
}

// The keys, then one query per key.
double loadPerRun(const QString& path, qsizetype* rows)
{
    QElapsedTimer t;
    t.start();
    HistoryRuns runs;
    sqlite3* db = open(path);
    sqlite3_stmt* keys = nullptr;
    sqlite3_prepare_v2(db, "select * from TimeBase order by Time desc", -1, &keys, nullptr);
    while (sqlite3_step(keys) == SQLITE_ROW) {
        const QString key = text(keys, 0);
        const QByteArray utf8 = key.toUtf8();
        HistoryRun run;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "select * from BaseTable where Time=?", -1, &st, nullptr);
        sqlite3_bind_text(st, 1, utf8.constData(), -1, SQLITE_STATIC);
        while (sqlite3_step(st) == SQLITE_ROW)
            run.append({text(st, 0), text(st, 1), text(st, 2)});
        sqlite3_finalize(st);
        runs.insert(key, run);
    }
    sqlite3_finalize(keys);
    sqlite3_close(db);
    const double ms = t.nsecsElapsed() / 1e6;
    *rows = 0;
    for (const HistoryRun& run : runs)
        *rows += run.size();
    return ms;
}

double loadWhole(const QString& path, qsizetype* rows)
{
    DoDataBase store(path);
    QElapsedTimer t;
    t.start();
    const HistoryRuns runs = store.getAllData();
    const double ms = t.nsecsElapsed() / 1e6;
    *rows = 0;
    for (const HistoryRun& run : runs)
        *rows += run.size();
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch(argc > 1 ? QString::fromLocal8Bit(argv[1]) + "/history-bench-XXXXXX" : QString());
    if (!scratch.isValid()) {
        std::fprintf(stderr, "no scratch folder\n");
        return 1;
    }
    const int items = 10000;
    const double whole = recordWhole(scratch.filePath("whole.db"), items);
    const double rowByRow = recordRowByRow(scratch.filePath("rows.db"), items);
    std::printf("record one run of %d items: store %.1f ms, row by row %.1f ms (%.0fx)\n", items, whole, rowByRow,
                rowByRow / whole);

    const QString history = scratch.filePath("history.db");
    fillHistory(history, 1000, 50);
    qsizetype wholeRows = 0, perRunRows = 0;
    const double load = loadWhole(history, &wholeRows);
    const double perRun = loadPerRun(history, &perRunRows);
    std::printf("load 1000 runs of 50 items (%lld rows): store %.1f ms, one query per run %.1f ms (%.0fx)\n",
                static_cast<long long>(wholeRows), load, perRun, perRun / load);
    if (wholeRows != perRunRows)
        std::printf("row counts differ: %lld vs %lld\n", static_cast<long long>(wholeRows),
                    static_cast<long long>(perRunRows));
    return 0;
}
