#pragma once
#include "Main/FileEraser/Engine/FileObj.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

// One row of a recorded run: the header row ("Items", "Erasure Algorithm",
// "Result") or an erased item.
struct HistoryRow
{
    QString items;
    QString algorithm;
    QString result;

    bool isHeader() const { return items == QLatin1String("Items"); }
    bool operator==(const HistoryRow&) const = default;
};

using HistoryRun = QList<HistoryRow>;
// Time key -> the run's rows in stored order (header row first).
using HistoryRuns = QMap<QString, HistoryRun>;

// The erasure history in DataBase.db. Every operation opens its own
// connection and closes it again; nothing is cached between calls.
// Invariants: a run is stored whole or not at all, a delete removes a run's
// rows from both tables together, and no two runs share a key.
class DoDataBase
{
public:
    using Clock = std::function<QDateTime()>;

    // An empty path means the live database in the state folder; tests pass
    // their own file, and a clock to fix the moment a run is recorded.
    explicit DoDataBase(QString path = QString(), Clock clock = Clock());

    static DoDataBase& returnDoDataBase();

    QString getDataBase() const;

    // All runs; empty when nothing can be read (`ok` then says false, and
    // `damaged` whether the file is not a sound database, rather than busy
    // or out of reach).
    HistoryRuns getAllData(bool* ok = nullptr, bool* damaged = nullptr) const;

    // A file-shredder run: each item's `url` and `failStr`. An empty list
    // records nothing and succeeds. False when the run could not be stored;
    // `busy` then says whether another connection held the lock, so that
    // trying again later may succeed. Safe to call from any thread.
    bool writePlistForHistoryWithArr(const FileObjList& items, bool* busy = nullptr);
    // A wipe run of one volume; `freeSpace` tells Wipe Free Space from Wipe Hard Drive.
    bool writeWipeVolumesOrFree(const QString& volumeName, const QString& result, bool freeSpace);

    bool deleteDataWithKey(const QString& key);
    // Several runs in one transaction ("Empty All").
    bool deleteDataWithKeys(const QStringList& keys);

    // "yyyy-MM-dd HH-mm-ss": calendar year, dashes in the time as well.
    static QString timeKey(const QDateTime& moment);

    // The erasure method's display name of the last write.
    QString eraserTimes;

private:
    bool recordRun(const QString& type, const HistoryRun& items, bool* busy = nullptr);

    QString m_path;
    Clock m_clock;
};
