#pragma once
#include <QObject>
#include <QProcess>
#include <QStringList>

class DoRemoveObjDelegate
{
public:
    virtual ~DoRemoveObjDelegate() = default;
    virtual void removeObjEnd() {}
};

// The secure remover of a freshly erased volume: runs srm on each path in
// turn, one child at a time, and tells its delegate when the last has ended.
// A path srm did not remove (non-zero exit) is kept in failedPaths().
class DoRemoveObj : public QObject
{
    Q_OBJECT
public:
    // `toolPath` empty: the srm beside the running program.
    explicit DoRemoveObj(const QStringList& paths, const QString& toolPath = QString(), QObject* parent = nullptr);
    ~DoRemoveObj() override;

    void setDelegate(DoRemoveObjDelegate* delegate) { m_delegate = delegate; }
    // Starts with the first path; the delegate is told asynchronously, also
    // for an empty list.
    void start();

    const QStringList& allFilesArr() const { return m_allFilesArr; }
    const QStringList& failedPaths() const { return m_failedPaths; }

    // What a fresh volume's root holds that its user put there: everything
    // but what the file system made itself.
    static QStringList rootEntries(const QString& mountPoint, const QString& volumeLabel = QString());

private:
    bool runTaskWithPath();
    void doneErasing(int exitCode, QProcess::ExitStatus status);

    QStringList m_allFilesArr;
    int m_idx = 0;
    QString m_toolPath;
    QString m_filePathStr;
    QProcess* m_pEraser = nullptr;
    QStringList m_failedPaths;
    DoRemoveObjDelegate* m_delegate = nullptr;
};
