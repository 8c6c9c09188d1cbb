#pragma once
#include "Main/FileEraser/Engine/FileObj.h"

#include <QObject>
#include <QPointer>
#include <QProcess>

// What the engine tells its owner. Every operation is optional.
class RemoveFileAndFolderDelegate
{
public:
    virtual ~RemoveFileAndFolderDelegate() = default;
    virtual void removeProgress(float /*percent*/, const QString& /*path*/, int /*index*/) {}
    virtual void haveFailEraser() {}
    virtual void removeObjEnd(const FileObjList& /*processed*/) {}
};

// Erases a list of items one after another, in list order: each non-empty
// file (or link) through the secure-remove tool, empty folders, application
// bundles and empty files directly. One engine serves one run.
class RemoveFileAndFolder : public QObject
{
    Q_OBJECT
public:
    // `toolPath` empty: the srm beside the running program.
    explicit RemoveFileAndFolder(QString toolPath = QString(), QObject* parent = nullptr);
    ~RemoveFileAndFolder() override;

    void setDelegate(RemoveFileAndFolderDelegate* delegate) { m_delegate = delegate; }
    RemoveFileAndFolderDelegate* delegate() const { return m_delegate; }
    const FileObjList& allFilesArr() const { return m_allFiles; }
    void setAllFilesArr(const FileObjList& items) { m_allFiles = items; }
    const FileObjList& deleteErrorArr() const { return m_processed; }

    void benginToTraskWithArr(const FileObjList& items);
    // Requests a cancel; takes effect when the running tool has ended.
    void isCancel();
    bool cancelRequested() const { return m_cancel; }

    // The stored level; anything below 1 reads as 1.
    static int getEraserTimes();
    // The tool's flag string for a level.
    static QString flagsForLevel(int level, bool isSSD = false);
    // Write-access probe: false only when write access is denied and cannot be granted.
    static bool checkPermissions(const QString& path);

private:
    // Processes the item at idx. False only past the end; m_process is set
    // while the tool works on it.
    bool runTaskWithPath();
    // Ends the current item and walks on through items handled directly, in
    // a loop rather than by recursion.
    void doneErasing();
    void startTool(const FileObjPtr& item);
    void toolFinished(QProcess* process, int exitCode, QProcess::ExitStatus status);
    void markFailed(const FileObjPtr& item);
    void finishRun();

    QString m_toolPath;
    QPointer<QProcess> m_process;
    QString m_filePathStr;
    FileObjList m_allFiles;
    FileObjList m_processed;
    bool m_cancel = false;
    bool m_ended = false;
    int m_idx = 0;
    RemoveFileAndFolderDelegate* m_delegate = nullptr;
};
