#include "SetEraserLevel/DoDataBase.h"

#include "Main/FileEraser/Engine/EraserLevel.h"
#include "PrivateDefaults.h"
#include "TempTree.h"
#include "platform/UserDefaults.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

FileObjPtr item(const QString& url, const QString& result)
{
    auto obj = std::make_shared<FileObj>();
    obj->url = url;
    obj->failStr = result;
    return obj;
}

QDateTime at(const QString& text)
{
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A store whose clock stands still at `moment`.
DoDataBase storeAt(const QString& path, const QString& moment)
{
    const QDateTime fixed = at(moment);
    return DoDataBase(path, [fixed] { return fixed; });
}

int count(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    const int n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}

void exec(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

const HistoryRow kHeader{"Items", "Erasure Algorithm", "Result"};

class DoDataBaseTest : public ::testing::Test
{
protected:
    void SetUp() override { platform::setUserDefaultInteger(kEraserTimesKey, 7); }
    PrivateDefaults defaults;
    TempTree tree;
    QString path = tree / "DataBase.db";
};

}  // namespace

TEST_F(DoDataBaseTest, RecordsShredderAndWipeRunsAndReadsThemBack)
{
    DoDataBase store = storeAt(path, "2026-12-08 07:34:51");
    ASSERT_TRUE(store.writePlistForHistoryWithArr({item("/home/a/one.txt", "Erased"), item("/home/a/two", "Failed")}));
    EXPECT_EQ(store.eraserTimes, "DoD 5220.22-M ECE");
    DoDataBase later = storeAt(path, "2026-12-08 09:00:00");
    ASSERT_TRUE(later.writeWipeVolumesOrFree("Data", "Erased", true));
    ASSERT_TRUE(later.writeWipeVolumesOrFree("Data", "Failed", false));

    bool ok = false;
    const HistoryRuns runs = store.getAllData(&ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(runs.size(), 3);
    EXPECT_EQ(runs.value("2026-12-08 07-34-51"),
              HistoryRun({kHeader, {"/home/a/one.txt", "DoD 5220.22-M ECE", "Erased"},
                          {"/home/a/two", "DoD 5220.22-M ECE", "Failed"}}));
    EXPECT_EQ(runs.value("2026-12-08 09-00-00"),
              HistoryRun({kHeader, {"Wipe Free Space:Data", "DoD 5220.22-M ECE", "Erased"}}));
    // Same second again: the second wipe moved on to the next free second.
    EXPECT_EQ(runs.value("2026-12-08 09-00-01"),
              HistoryRun({kHeader, {"Wipe Hard Drive:Data", "DoD 5220.22-M ECE", "Failed"}}));
    EXPECT_EQ(count(path, "SELECT count(*) FROM TimeBase WHERE Type='WipeVolume'"), 2);
    EXPECT_EQ(count(path, "SELECT count(*) FROM TimeBase WHERE Type='WipeFile'"), 1);
}

TEST_F(DoDataBaseTest, EmptyShredderRunRecordsNothing)
{
    DoDataBase store(path);
    EXPECT_TRUE(store.writePlistForHistoryWithArr({}));
    EXPECT_TRUE(store.getAllData().isEmpty());
}

TEST_F(DoDataBaseTest, SameSecondRunsGetTheirOwnKeysAndDeleteAlone)
{
    DoDataBase store = storeAt(path, "2026-03-01 10:00:00");
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(store.writePlistForHistoryWithArr({item(QStringLiteral("/run%1").arg(i), "Erased")}));
    HistoryRuns runs = store.getAllData();
    ASSERT_EQ(runs.keys(), QStringList({"2026-03-01 10-00-00", "2026-03-01 10-00-01", "2026-03-01 10-00-02"}));
    EXPECT_EQ(runs.value("2026-03-01 10-00-02").at(1).items, "/run2");

    ASSERT_TRUE(store.deleteDataWithKey("2026-03-01 10-00-01"));
    runs = store.getAllData();
    EXPECT_EQ(runs.keys(), QStringList({"2026-03-01 10-00-00", "2026-03-01 10-00-02"}));
    EXPECT_EQ(count(path, "SELECT count(*) FROM BaseTable"), 4);

    ASSERT_TRUE(store.deleteDataWithKeys(runs.keys()));
    EXPECT_EQ(count(path, "SELECT count(*) FROM BaseTable"), 0);
    EXPECT_EQ(count(path, "SELECT count(*) FROM TimeBase"), 0);
}

TEST_F(DoDataBaseTest, KeysUseTheCalendarYear)
{
    // Where weeks start on Sunday, 28 December 2026 already lies in the first
    // week of 2027; the key keeps the calendar year.
    EXPECT_EQ(DoDataBase::timeKey(at("2026-12-28 23:59:07")), "2026-12-28 23-59-07");
    EXPECT_EQ(DoDataBase::timeKey(at("2027-01-01 00:00:00")), "2027-01-01 00-00-00");
}

TEST_F(DoDataBaseTest, QuotesInNamesAndKeysAreStoredAsGiven)
{
    DoDataBase store = storeAt(path, "2026-05-05 05:05:05");
    const QString odd = "/home/o'brien/it's \"<script>alert(1)</script>\"; DROP TABLE TimeBase;--";
    ASSERT_TRUE(store.writePlistForHistoryWithArr({item(odd, "Erased")}));
    ASSERT_TRUE(store.writeWipeVolumesOrFree("Bob's Disk", "Erased", false));
    HistoryRuns runs = store.getAllData();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs.first().at(1).items, odd);
    EXPECT_EQ(runs.last().at(1).items, "Wipe Hard Drive:Bob's Disk");

    // A key with an apostrophe (never made by the store, but read back and
    // deleted by value all the same).
    exec(path, "INSERT INTO TimeBase VALUES ('it''s', 'WipeFile'); INSERT INTO BaseTable VALUES ('x','y','z','it''s');");
    EXPECT_EQ(store.getAllData().value("it's"), HistoryRun({{"x", "y", "z"}}));
    ASSERT_TRUE(store.deleteDataWithKey("it's"));
    EXPECT_FALSE(store.getAllData().contains("it's"));
    EXPECT_EQ(store.getAllData().size(), 2);
}

TEST_F(DoDataBaseTest, MissingOrEmptyDatabaseGetsTheTables)
{
    const QString missing = tree / "state/none/DataBase.db";
    tree.folder("state/none");
    DoDataBase store = storeAt(missing, "2026-01-02 03:04:05");
    bool ok = false;
    EXPECT_TRUE(store.getAllData(&ok).isEmpty());
    EXPECT_TRUE(ok);
    ASSERT_TRUE(store.writeWipeVolumesOrFree("USB", "Erased", true));
    EXPECT_EQ(store.getAllData().size(), 1);

    // An empty file, as a failed copy of the template would leave.
    const QString empty = tree.file("empty.db", "");
    DoDataBase fromEmpty(empty);
    ASSERT_TRUE(fromEmpty.writeWipeVolumesOrFree("USB", "Erased", true));
    EXPECT_EQ(fromEmpty.getAllData().size(), 1);
}

TEST_F(DoDataBaseTest, UnusableDatabaseIsReportedAsFailure)
{
    const QString junk = tree.file("junk.db", QByteArray(4096, 'j'));
    DoDataBase store(junk);
    bool ok = true;
    EXPECT_TRUE(store.getAllData(&ok).isEmpty());
    EXPECT_FALSE(ok);
    EXPECT_FALSE(store.writeWipeVolumesOrFree("USB", "Erased", true));
    EXPECT_FALSE(store.deleteDataWithKey("2026-01-02 03-04-05"));
    EXPECT_EQ(TempTree::read(junk), QByteArray(4096, 'j'));

    DoDataBase nowhere(tree / "no/such/folder/DataBase.db");
    EXPECT_FALSE(nowhere.writeWipeVolumesOrFree("USB", "Erased", true));
}

TEST_F(DoDataBaseTest, FailureMidRunLeavesNoPartialRun)
{
    DoDataBase store = storeAt(path, "2026-07-07 07:07:07");
    ASSERT_TRUE(store.writeWipeVolumesOrFree("Kept", "Erased", true));
    exec(path, "CREATE TRIGGER refuse BEFORE INSERT ON BaseTable WHEN NEW.Itmes = '/bad' "
               "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    EXPECT_FALSE(store.writePlistForHistoryWithArr({item("/good", "Erased"), item("/bad", "Erased"), item("/late", "Erased")}));
    EXPECT_EQ(count(path, "SELECT count(*) FROM TimeBase"), 1);
    EXPECT_EQ(count(path, "SELECT count(*) FROM BaseTable"), 2);

    // A delete that fails half-way keeps both tables as they were.
    exec(path, "CREATE TRIGGER keep BEFORE DELETE ON BaseTable BEGIN SELECT RAISE(ABORT, 'kept'); END;");
    EXPECT_FALSE(store.deleteDataWithKey("2026-07-07 07-07-07"));
    EXPECT_EQ(count(path, "SELECT count(*) FROM TimeBase"), 1);
}

TEST_F(DoDataBaseTest, LegacySharedKeysAndOrphansReadAsBefore)
{
    // Older versions could store two runs under one key, and rows whose run
    // row was lost; the first read as one run, the second are not listed.
    DoDataBase store(path);
    store.getAllData();
    exec(path,
         "INSERT INTO TimeBase VALUES ('2025-01-01 00-00-00','WipeFile'),('2025-01-01 00-00-00','WipeFile'),"
         "('2025-02-02 00-00-00','WipeVolume');"
         "INSERT INTO BaseTable VALUES ('Items','Erasure Algorithm','Result','2025-01-01 00-00-00'),"
         "('/a','m','Erased','2025-01-01 00-00-00'),"
         "('orphan','m','Erased','2024-01-01 00-00-00'),"
         "('Items','Erasure Algorithm','Result','2025-01-01 00-00-00'),"
         "('/b',NULL,'Failed','2025-01-01 00-00-00');");
    const HistoryRuns runs = store.getAllData();
    ASSERT_EQ(runs.keys(), QStringList({"2025-01-01 00-00-00", "2025-02-02 00-00-00"}));
    EXPECT_EQ(runs.value("2025-01-01 00-00-00"),
              HistoryRun({kHeader, {"/a", "m", "Erased"}, kHeader, {"/b", "", "Failed"}}));
    EXPECT_TRUE(runs.value("2025-02-02 00-00-00").isEmpty());

    // A new run never takes the key of orphaned rows.
    DoDataBase orphanSecond = storeAt(path, "2024-01-01 00:00:00");
    ASSERT_TRUE(orphanSecond.writeWipeVolumesOrFree("V", "Erased", false));
    EXPECT_TRUE(orphanSecond.getAllData().contains("2024-01-01 00-00-01"));
}
