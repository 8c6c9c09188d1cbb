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

private:
    QString m_folder;
    QString m_path;
};
