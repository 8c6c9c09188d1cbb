#pragma once
#include "Main/FileEraser/Engine/FileObj.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QSet>

#include <atomic>
#include <vector>

// What the engine tells its owner. Every operation is optional.
class RemoveFileAndFolderDelegate
{
public:
    virtual ~RemoveFileAndFolderDelegate() = default;
    virtual void removeProgress(float /*percent*/, const QString& /*path*/, int /*index*/) {}
    virtual void haveFailEraser() {}
    virtual void removeObjEnd(const FileObjList& /*processed*/) {}
};

// Erases a run list in list order. A folder that was expanded into the list
// goes to the secure-remove tool whole (`srm -r`), which walks it relative to
// open folders and never through a link planted after the listing; runs of
// other items go to one tool process together, each path with the device
// and inode it had when listed, so the tool leaves alone a path that has
// come to name another file by its turn. Each item's word comes from the
// tool's own report of that item; an item it never reported failed. The
// progress names the file the tool says it is overwriting (its -v lines).
// Nothing is removed here directly. One engine serves one run.
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
    // Requests a cancel: the running tool is stopped (it leaves the item under
    // way in place) and the run ends when it has.
    void isCancel();
    bool cancelRequested() const { return m_cancel; }
    // removeObjEnd has been sent.
    bool hasEnded() const { return m_endSent; }

    // The stored level; anything below 1 reads as 1.
    static int getEraserTimes();
    // The tool's flag string for a level.
    static QString flagsForLevel(int level, bool isSSD = false);

    // The tool's option that makes it report each item on stdout.
    static constexpr const char* kRecordsOption = "-M";
    // The tool's option that puts before each path the identity it had when
    // listed ("DEVICE:INODE", or "-"): the tool leaves alone a path that has
    // come to name another entry by its turn.
    static constexpr const char* kIdentityOption = "-I";
    static QByteArray identityArgument(const FileObj& item);

private:
    // A stretch of the run list handled together: a folder with everything
    // listed inside it (the folder last), or a single item.
    struct Job
    {
        qsizetype first = 0;
        qsizetype last = 0;
    };

    void planJobs();
    // Handles the job at m_job. True when the tool was started for it.
    bool runTaskWithPath();
    // Walks on through the jobs, in a loop rather than by recursion, until
    // one waits for the tool or the run ends.
    void doneErasing();
    // What a single item needs at its turn: only a word, or the tool.
    enum class Turn { Erased, LeftAlone, Tool };
    Turn turnFor(const FileObjPtr& item, const struct stat* st, bool log = true) const;
    void startTool(QList<QByteArray> paths, QList<QByteArray> identities);
    void expectRecords(qsizetype first, qsizetype last);
    QList<qsizetype> takeExpected(const QByteArray& path);
    void readRecords();
    // The tool's -v lines on stderr name the file it is overwriting.
    void readProgressLines();
    void sendProgress();
    void takeRecord(const QByteArray& record);
    void toolFinished(QProcess* process);
    void itemDone(qsizetype index, bool erased);
    void finishRun();

    QString m_toolPath;
    QPointer<QProcess> m_process;
    QString m_filePathStr;
    FileObjList m_allFiles;
    FileObjList m_processed;
    std::vector<Job> m_jobs;
    qsizetype m_job = -1;
    qsizetype m_batchEnd = -1;  // last job handed to the running tool
    // The running tool's items: a stretch of the run list.
    qsizetype m_expectFirst = 0;
    qsizetype m_expectLast = -1;
    qsizetype m_expectCursor = 0;
    QHash<QByteArray, QList<qsizetype>> m_expectByPath;  // made only when needed
    bool m_duplicatePaths = false;
    QByteArray m_records;  // the tool's output not yet split into records
    QByteArray m_progressLines;  // its stderr not yet split into lines
    QList<QByteArray> m_toolPaths;  // what the running tool was handed
    QString m_label;  // the item the run is working on, for the progress
    QSet<QByteArray> m_erasedPaths;
    QSet<QByteArray> m_touchedFolders;  // where the run removed names: synced at the end
    std::vector<char> m_done;
    qsizetype m_doneCount = 0;
    bool m_cancel = false;
    bool m_ended = false;
    bool m_endSent = false;
    int m_idx = 0;
    RemoveFileAndFolderDelegate* m_delegate = nullptr;
};
