#include "SetEraserLevel/DoDataBase.h"

#include "Comm/PublicUtilities.h"
#include "SetEraserLevel/HistorySchema.h"
#include "platform/Layout.h"
#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

const QString kDataBaseName = QStringLiteral("DataBase.db");

// One statement; finalised when it goes out of scope.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql) { m_ok = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) == SQLITE_OK; }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_ok; }
    // Values are always bound, never spliced into the text.
    void bind(int index, const QString& value)
    {
        const QByteArray utf8 = value.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    int step() { return m_ok ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    void reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    QString text(int column) const
    {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return data ? QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column)) : QString();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    bool m_ok = false;
};

// One connection for one operation. A missing or empty file gets the two
// tables, so no later run is lost to a file without them.
class Connection
{
public:
    explicit Connection(const QString& path)
    {
        if (path.isEmpty()) {
            platform::log(QStringLiteral("打开数据库失败！ no place for %1").arg(kDataBaseName));
            return;
        }
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
            fail(QStringLiteral("打开数据库失败！ %1").arg(path));
            return;
        }
        sqlite3_busy_timeout(m_db, 5000);
        if (!exec(kHistorySchema)) {
            const int code = sqlite3_errcode(m_db);
            m_busy = code == SQLITE_BUSY || code == SQLITE_LOCKED;
            m_failCode = code;
            fail(QStringLiteral("打开数据库失败！ %1").arg(path));
            return;
        }
        m_ok = true;
    }
    ~Connection()
    {
        if (m_inTransaction)
            exec("ROLLBACK");
        sqlite3_close(m_db);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ok() const { return m_ok; }
    sqlite3* handle() const { return m_db; }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }
    // The file is not a sound database.
    bool damaged() const
    {
        const int code = m_db ? sqlite3_errcode(m_db) : m_failCode;
        return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
    }
    // The last failure was another connection holding the lock.
    bool busy() const
    {
        const int code = m_db ? sqlite3_errcode(m_db) : SQLITE_OK;
        return code == SQLITE_BUSY || code == SQLITE_LOCKED || m_busy;
    }

    bool exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    // The write lock is taken at once, so the key chosen inside stays unique
    // until the commit.
    bool begin(bool write)
    {
        m_inTransaction = exec(write ? "BEGIN IMMEDIATE" : "BEGIN");
        if (!m_inTransaction)
            platform::log(QStringLiteral("history: cannot begin a transaction: %1").arg(error()));
        return m_inTransaction;
    }
    bool commit()
    {
        if (!exec("COMMIT")) {
            platform::log(QStringLiteral("history: commit failed: %1").arg(error()));
            return false;  // the destructor rolls back
        }
        m_inTransaction = false;
        return true;
    }

private:
    void fail(const QString& line)
    {
        platform::log(line + QStringLiteral(": ") + (m_db ? error() : QString()));
        sqlite3_close(m_db);
        m_db = nullptr;
    }

    sqlite3* m_db = nullptr;
    bool m_ok = false;
    bool m_busy = false;
    int m_failCode = SQLITE_OK;
    bool m_inTransaction = false;
};

bool keyInUse(sqlite3* db, const QString& key)
{
    // Rows of BaseTable left behind by older versions count too: a new run
    // under their key would inherit them.
    Statement st(db, "SELECT EXISTS(SELECT 1 FROM TimeBase WHERE Time=?1) "
                     "OR EXISTS(SELECT 1 FROM BaseTable WHERE Time=?1)");
    st.bind(1, key);
    return st.step() == SQLITE_ROW && st.text(0) != QLatin1String("0");
}

}  // namespace

DoDataBase::DoDataBase(QString path, Clock clock)
    : m_path(std::move(path)), m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); }))
{
}

DoDataBase& DoDataBase::returnDoDataBase()
{
    static DoDataBase shared;
    return shared;
}

QString DoDataBase::getDataBase() const
{
    if (!m_path.isEmpty())
        return m_path;
    const platform::Layout& layout = platform::Layout::current();
    const QString seeded = layout.seededStateFile(kDataBaseName);
    if (!seeded.isEmpty())
        return seeded;
    // No template shipped: the store makes the tables itself on first use.
    return QDir().mkpath(layout.stateDir()) ? layout.stateFile(kDataBaseName) : QString();
}

QString DoDataBase::timeKey(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
}

HistoryRuns DoDataBase::getAllData(bool* ok, bool* damaged) const
{
    if (ok)
        *ok = false;
    if (damaged)
        *damaged = false;
    HistoryRuns runs;
    Connection db(getDataBase());
    const auto failed = [&] {
        if (damaged)
            *damaged = db.damaged();
        return HistoryRuns();
    };
    if (!db.ok() || !db.begin(false))
        return failed();

    // Two passes in one snapshot instead of one query per run: the keys, then
    // every row in table order, grouped in memory.
    Statement keys(db.handle(), "SELECT Time FROM TimeBase ORDER BY Time DESC");
    int rc;
    while ((rc = keys.step()) == SQLITE_ROW)
        runs.insert(keys.text(0), HistoryRun());
    if (rc != SQLITE_DONE) {
        platform::log(QStringLiteral("history: cannot read TimeBase: %1").arg(db.error()));
        return failed();
    }
    Statement rows(db.handle(), "SELECT Itmes, ErasureAlgorithm, Result, Time FROM BaseTable ORDER BY rowid");
    while ((rc = rows.step()) == SQLITE_ROW) {
        // Rows without a TimeBase entry are not listed.
        auto run = runs.find(rows.text(3));
        if (run != runs.end())
            run->append({rows.text(0), rows.text(1), rows.text(2)});
    }
    if (rc != SQLITE_DONE) {
        platform::log(QStringLiteral("history: cannot read BaseTable: %1").arg(db.error()));
        return failed();
    }
    db.commit();
    // The runs as read, newest first: each key once with its row count, so a
    // long history costs lines in proportion to it, not to its square.
    for (auto run = runs.cend(); run != runs.cbegin();) {
        --run;
        platform::log(QStringLiteral("-:") + run.key() + QStringLiteral(":-"));
        platform::log(QStringLiteral("dic:----{") + run.key() + QStringLiteral(" = (") +
                      QString::number(run.value().size()) + QStringLiteral(" rows)}"));
    }
    if (ok)
        *ok = true;
    return runs;
}

bool DoDataBase::writePlistForHistoryWithArr(const FileObjList& items, bool* busy)
{
    if (busy)
        *busy = false;
    if (items.isEmpty())
        return true;
    eraserTimes = PublicUtilities::getEraserTimes();
    HistoryRun rows;
    rows.reserve(items.size());
    for (const FileObjPtr& item : items)
        rows.append({item->url, eraserTimes, item->failStr});
    return recordRun(QStringLiteral("WipeFile"), rows, busy);
}

bool DoDataBase::writeWipeVolumesOrFree(const QString& volumeName, const QString& result, bool freeSpace)
{
    eraserTimes = PublicUtilities::getEraserTimes();
    const QString item = (freeSpace ? QStringLiteral("Wipe Free Space:") : QStringLiteral("Wipe Hard Drive:")) + volumeName;
    return recordRun(QStringLiteral("WipeVolume"), {{item, eraserTimes, result}});
}

bool DoDataBase::recordRun(const QString& type, const HistoryRun& items, bool* busy)
{
    Connection db(getDataBase());
    if (!db.ok() || !db.begin(true)) {
        if (busy)
            *busy = db.busy();
        return false;
    }

    // Keys have a resolution of one second; a run recorded in a second that
    // already has one moves on to the next free second.
    QDateTime moment = m_clock();
    QString key = timeKey(moment);
    while (keyInUse(db.handle(), key)) {
        moment = moment.addSecs(1);
        key = timeKey(moment);
    }

    Statement time(db.handle(), "INSERT INTO TimeBase (Time,Type) VALUES (?,?)");
    time.bind(1, key);
    time.bind(2, type);
    if (time.step() != SQLITE_DONE) {
        platform::log(QStringLiteral("update time : %1").arg(db.error()));
        return false;
    }

    Statement row(db.handle(), "INSERT INTO BaseTable (Itmes,ErasureAlgorithm,Result,Time) VALUES (?,?,?,?)");
    const auto insertRow = [&](const HistoryRow& r) {
        row.bind(1, r.items);
        row.bind(2, r.algorithm);
        row.bind(3, r.result);
        row.bind(4, key);
        const bool done = row.step() == SQLITE_DONE;
        row.reset();
        return done;
    };
    if (!insertRow({QStringLiteral("Items"), QStringLiteral("Erasure Algorithm"), QStringLiteral("Result")})) {
        platform::log(QStringLiteral("update base: %1").arg(db.error()));
        return false;
    }
    for (const HistoryRow& item : items) {
        if (!insertRow(item)) {
            platform::log(QStringLiteral("更新数据库表FIELDS出错: %1").arg(db.error()));
            return false;
        }
    }
    return db.commit();
}

bool DoDataBase::deleteDataWithKey(const QString& key)
{
    return deleteDataWithKeys({key});
}

bool DoDataBase::deleteDataWithKeys(const QStringList& keys)
{
    Connection db(getDataBase());
    if (!db.ok() || !db.begin(true))
        return false;
    Statement time(db.handle(), "DELETE FROM TimeBase WHERE Time=?");
    Statement base(db.handle(), "DELETE FROM BaseTable WHERE Time=?");
    for (const QString& key : keys) {
        time.bind(1, key);
        if (time.step() != SQLITE_DONE) {
            platform::log(QStringLiteral("delete time error: %1").arg(db.error()));
            return false;
        }
        time.reset();
        base.bind(1, key);
        if (base.step() != SQLITE_DONE) {
            platform::log(QStringLiteral("delete base error: %1").arg(db.error()));
            return false;
        }
        base.reset();
    }
    return db.commit();
}
