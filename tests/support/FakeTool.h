#pragma once
#include <QString>

// A small shell script standing in for a tool the code under test starts,
// in a private folder. The script may record its arguments to a log file.
class FakeTool
{
public:
    FakeTool(const QString& name, const QString& scriptBody);
    ~FakeTool();
    QString path() const { return m_path; }
    QString folder() const { return m_folder; }
    QString logPath() const { return m_folder + "/calls.log"; }
    QString log() const;

    // A body for a stand-in srm that speaks the records protocol (-M): it
    // logs its arguments, removes what it is given (folders with -r,
    // contents first) and reports each item as "E\t<path>\0", except
    // entries whose name holds "keep", which stay and are reported
    // "F\t<path>\t<reason>\0". A name holding "slow" makes it sleep first;
    // "silent" is removed but never reported. With -v it tells each file on
    // stderr as srm does ("srm: <path>: pass 1/1 (random)"); with -I it
    // takes every other argument after "--" as a path.
    static QString srmWithRecords();

private:
    QString m_folder;
    QString m_path;
};
