#include "Main/FileEraser/Engine/RemoveFileAndFolder.h"

#include "Main/FileEraser/Engine/EraserLevel.h"
#include "platform/Background.h"
#include "platform/EntryIdentity.h"
#include "platform/Layout.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Beyond these a run of files is split over several tool processes: the
// argument vector stays far below the system's limit.
constexpr qsizetype kBatchPaths = 2000;
constexpr qsizetype kBatchBytes = 256 * 1024;

bool exists(const QByteArray& path)
{
    struct stat st{};
    return ::lstat(path.constData(), &st) == 0;
}

QByteArray parentOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// A folder with another volume (or a bind mount) on it. Its listing and its
// removal would reach that whole mount, which is not the item.
bool isMountPoint(const QByteArray& path)
{
    const auto self = platform::entryIdentity(AT_FDCWD, path.constData());
    if (!self)
        return false;
    if (self->isMountRoot)
        return true;
    const auto parent = platform::entryIdentity(AT_FDCWD, parentOf(path).constData());
    return parent && (!parent->sameMount(*self) || parent->sameObject(*self));
}

bool isEmptyFolder(const QByteArray& path)
{
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return false;
    bool empty = true;
    while (const dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (!(n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))) {
            empty = false;
            break;
        }
    }
    ::closedir(dir);
    return empty;
}

// The path still names what was listed: a folder on the way swapped for a
// link, or the item replaced, gives another inode.
bool isSameEntry(const FileObjPtr& item, const struct stat& st)
{
    return !item->hasIdentity || (item->device == static_cast<uint64_t>(st.st_dev) && item->inode == st.st_ino);
}

bool startsInside(const QByteArray& path, const QByteArray& folder)
{
    return path.size() > folder.size() && path.startsWith(folder) && path.at(folder.size()) == '/';
}

}  // namespace

RemoveFileAndFolder::RemoveFileAndFolder(QString toolPath, QObject* parent)
    : QObject(parent),
      m_toolPath(toolPath.isEmpty() ? platform::Layout::current().tool(QStringLiteral("srm")) : std::move(toolPath))
{
}

RemoveFileAndFolder::~RemoveFileAndFolder()
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(3000);
        delete m_process;
    }
}

int RemoveFileAndFolder::getEraserTimes()
{
    const int level = platform::userDefaultInteger(kEraserTimesKey, 1);
    return level < 1 ? 1 : level;
}

QString RemoveFileAndFolder::flagsForLevel(int level, bool isSSD)
{
    // A solid-state drive gets the single pass whatever the level.
    return (isSSD ? eraserLevels().first() : eraserLevelFor(level)).flags;
}

void RemoveFileAndFolder::benginToTraskWithArr(const FileObjList& items)
{
    m_idx = 0;
    m_processed.clear();
    m_allFiles = items;
    m_ended = false;
    m_done.assign(static_cast<size_t>(m_allFiles.size()), 0);
    m_doneCount = 0;
    m_erasedPaths.clear();
    m_touchedFolders.clear();
    // A cancel that came before the start ends the run before its first item.
    if (m_allFiles.isEmpty() || m_cancel) {
        finishRun();
        return;
    }
    planJobs();
    m_label = m_allFiles.first()->url;
    if (m_delegate)
        m_delegate->removeProgress(m_allFiles.size() == 1 ? 80.0f : 0.0f, m_label, 0);
    m_job = -1;
    doneErasing();
}

void RemoveFileAndFolder::planJobs()
{
    // The run list holds each folder's contents right before the folder, so
    // the jobs just before a folder whose paths lie inside it are its own.
    m_jobs.clear();
    m_duplicatePaths = false;
    std::vector<QByteArray> roots;
    for (qsizetype i = 0; i < m_allFiles.size(); ++i) {
        const FileObjPtr& item = m_allFiles.at(i);
        const QByteArray path = item->pathBytes();
        Job job{i, i};
        if (item->isDir) {
            while (!m_jobs.empty() && startsInside(roots.back(), path)) {
                // A listed item (not found by expansion) inside this folder
                // is listed again among the folder's own entries.
                if (m_allFiles.at(m_jobs.back().last)->urlBytes.isEmpty())
                    m_duplicatePaths = true;
                job.first = m_jobs.back().first;
                m_jobs.pop_back();
                roots.pop_back();
            }
        }
        m_jobs.push_back(job);
        roots.push_back(path);
    }
}

void RemoveFileAndFolder::isCancel()
{
    m_cancel = true;
    if (m_process)
        m_process->terminate();  // its end arrives as usual and ends the run
}

void RemoveFileAndFolder::doneErasing()
{
    for (;;) {
        ++m_job;
        if (m_job >= static_cast<qsizetype>(m_jobs.size()) || m_cancel) {
            finishRun();
            return;
        }
        if (runTaskWithPath())
            return;  // the tool's end resumes the walk
    }
}

bool RemoveFileAndFolder::runTaskWithPath()
{
    const Job job = m_jobs.at(m_job);
    const FileObjPtr root = m_allFiles.at(job.last);
    const QByteArray path = root->pathBytes();
    m_idx = static_cast<int>(job.last);
    const bool labelMoves = m_label != root->url;
    m_label = root->url;
    platform::log(QStringLiteral("-------::%1").arg(root->url));
    m_touchedFolders.insert(parentOf(path));

    struct stat st{};
    const bool present = ::lstat(path.constData(), &st) == 0;

    if (job.first < job.last) {
        // A folder with its listed contents. It must still be the folder that
        // was listed, on the same mount: anything else is left alone.
        bool usable = present && S_ISDIR(st.st_mode) && isSameEntry(root, st) && !isMountPoint(path);
        if (!present && m_erasedPaths.contains(path)) {
            for (qsizetype i = job.first; i <= job.last; ++i)
                itemDone(i, true);
            return false;
        }
        if (!usable) {
            platform::log(QStringLiteral("rm folder fail %1").arg(root->url));
            root->failReason = present ? QStringLiteral("the folder is no longer the one listed")
                                       : QStringLiteral("no longer there");
            for (qsizetype i = job.first; i <= job.last; ++i)
                itemDone(i, false);
            return false;
        }
        expectRecords(job.first, job.last);
        m_batchEnd = m_job;
        if (labelMoves)
            sendProgress();
        startTool({path}, {identityArgument(*root)});
        return true;
    }

    const Turn turn = turnFor(root, present ? &st : nullptr);
    if (turn != Turn::Tool) {
        itemDone(job.last, turn == Turn::Erased);
        return false;
    }

    // A run of items for the tool: this one and those right after it. Empty
    // files and folders go this way too: the tool refuses a path through a
    // link someone else planted, a plain unlink or rmdir here would not.
    // Nor is anything probed or unlocked here by name: the tool clears an
    // immutable flag or a missing write bit itself, through a descriptor of
    // the listed file reached folder by folder without links.
    QList<QByteArray> paths;
    QList<QByteArray> identities;
    qsizetype bytes = 0;
    qsizetype j = m_job;
    for (; j < static_cast<qsizetype>(m_jobs.size()); ++j) {
        const Job& next = m_jobs.at(j);
        if (next.first != next.last)
            break;
        const FileObjPtr item = m_allFiles.at(next.last);
        const QByteArray p = item->pathBytes();
        if (j != m_job) {
            struct stat ns{};
            const bool there = ::lstat(p.constData(), &ns) == 0;
            if (!there || turnFor(item, &ns, false) != Turn::Tool || paths.size() >= kBatchPaths ||
                bytes + p.size() > kBatchBytes)
                break;  // judged at its own turn, or the batch is full
        }
        m_touchedFolders.insert(parentOf(p));
        paths << p;
        identities << identityArgument(*item);
        bytes += p.size() + 1;
    }
    m_batchEnd = j - 1;
    expectRecords(job.last, m_jobs.at(m_batchEnd).last);
    if (labelMoves)
        sendProgress();
    startTool(paths, identities);
    return true;
}

RemoveFileAndFolder::Turn RemoveFileAndFolder::turnFor(const FileObjPtr& item, const struct stat* st, bool log) const
{
    const QByteArray path = item->pathBytes();
    if (!st) {
        // Gone before its turn: erased earlier in this run under another
        // item, or not there to erase, which is no success.
        if (m_erasedPaths.contains(path))
            return Turn::Erased;
        if (log) {
            platform::log(QStringLiteral("rm file fail %1: no longer there").arg(item->url));
            item->failReason = QStringLiteral("no longer there");
        }
        return Turn::LeftAlone;
    }
    if (!isSameEntry(item, *st)) {
        if (log) {
            platform::log(QStringLiteral("rm file fail %1: names another file than the one listed").arg(item->url));
            item->failReason = QStringLiteral("the name now belongs to another file than the one listed");
        }
        return Turn::LeftAlone;
    }
    // A folder that was listed empty goes only while it still is; one with
    // entries that were never listed stays, as does a mounted volume.
    if (S_ISDIR(st->st_mode) && (!item->isDir || isMountPoint(path) || !isEmptyFolder(path))) {
        if (log) {
            platform::log(QStringLiteral("rm folder fail %1").arg(item->url));
            item->failReason = QStringLiteral("the folder holds entries that were not listed, or another volume");
        }
        return Turn::LeftAlone;
    }
    return Turn::Tool;
}

QByteArray RemoveFileAndFolder::identityArgument(const FileObj& item)
{
    if (!item.hasIdentity)
        return QByteArrayLiteral("-");
    return QByteArray::number(static_cast<qulonglong>(item.device)) + ':' +
           QByteArray::number(static_cast<qulonglong>(item.inode));
}

void RemoveFileAndFolder::startTool(QList<QByteArray> paths, QList<QByteArray> identities)
{
    m_records.clear();
    m_progressLines.clear();
    m_filePathStr = QFile::decodeName(paths.first());
    // Arguments leave as QFile::encodeName of their text. A name the locale
    // cannot decode would arrive as its replacement-character twin, another
    // file, so such a path is not handed over: its item fails instead. (The
    // names inside a folder never pass this way: the tool reads them itself.)
    for (qsizetype i = paths.size() - 1; i >= 0; --i) {
        if (QFile::encodeName(QFile::decodeName(paths.at(i))) == paths.at(i))
            continue;
        platform::log(QStringLiteral("srm cannot be handed %1: not valid in the locale's encoding")
                          .arg(QFile::decodeName(paths.at(i))));
        for (qsizetype index : takeExpected(paths.at(i)))
            itemDone(index, false);
        paths.removeAt(i);
        identities.removeAt(i);
    }
    m_toolPaths = paths;
    if (paths.isEmpty()) {
        QMetaObject::invokeMethod(this, [this] { toolFinished(nullptr); }, Qt::QueuedConnection);
        return;
    }
    const FileObjPtr first = m_allFiles.at(m_expectFirst);

    if (!QFileInfo(m_toolPath).isExecutable()) {
        platform::log(QStringLiteral("srm missing or not executable: %1").arg(m_toolPath));
        // Its end is reported as for a tool that failed to start.
        QMetaObject::invokeMethod(this, [this] { toolFinished(nullptr); }, Qt::QueuedConnection);
        return;
    }

    QStringList arguments{flagsForLevel(getEraserTimes(), first->isSSD), QString::fromLatin1(kRecordsOption),
                          QString::fromLatin1(kIdentityOption), QStringLiteral("--")};
    for (qsizetype i = 0; i < paths.size(); ++i)
        arguments << QString::fromLatin1(identities.at(i)) << QFile::decodeName(paths.at(i));

    auto* process = new QProcess(this);
    process->setProgram(m_toolPath);
    process->setArguments(arguments);
    connect(process, &QProcess::readyReadStandardOutput, this, [this, process] {
        if (process == m_process)
            readRecords();
    });
    connect(process, &QProcess::readyReadStandardError, this, [this, process] {
        if (process == m_process)
            readProgressLines();
    });
    // Only this process's own end advances the run.
    connect(process, &QProcess::finished, this, [this, process] { toolFinished(process); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        // Queued: a failed start may be reported from inside start() itself.
        if (error == QProcess::FailedToStart)
            QMetaObject::invokeMethod(this, [this, process] { toolFinished(process); }, Qt::QueuedConnection);
    });
    m_process = process;
    process->start();
}

void RemoveFileAndFolder::expectRecords(qsizetype first, qsizetype last)
{
    m_expectFirst = first;
    m_expectLast = last;
    m_expectCursor = first;
    m_expectByPath.clear();
}

QList<qsizetype> RemoveFileAndFolder::takeExpected(const QByteArray& path)
{
    // The tool walks a folder much as it was listed, so the next open item
    // is nearly always the one reported; a table of the rest is made only
    // when it is not, or when a path is listed twice (a ticked folder
    // inside another ticked folder).
    while (m_expectCursor <= m_expectLast && m_done[static_cast<size_t>(m_expectCursor)])
        ++m_expectCursor;
    if (!m_duplicatePaths && m_expectByPath.isEmpty() && m_expectCursor <= m_expectLast &&
        m_allFiles.at(m_expectCursor)->pathBytes() == path)
        return {m_expectCursor};
    if (m_expectByPath.isEmpty()) {
        for (qsizetype i = m_expectFirst; i <= m_expectLast; ++i)
            if (!m_done[static_cast<size_t>(i)])
                m_expectByPath[m_allFiles.at(i)->pathBytes()].append(i);
    }
    return m_expectByPath.take(path);
}

void RemoveFileAndFolder::readRecords()
{
    if (!m_process)
        return;
    m_records += m_process->readAllStandardOutput();
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_records.indexOf('\0', start);
        if (end < 0)
            break;
        takeRecord(m_records.mid(start, end - start));
        start = end + 1;
    }
    m_records.remove(0, start);
}

void RemoveFileAndFolder::readProgressLines()
{
    if (!m_process)
        return;
    m_progressLines += m_process->readAllStandardError();
    // "srm: <path>: pass i/n (...)" starts each pass over a file. Only the
    // last one of what arrived counts: the label follows, it does not replay.
    QByteArray working;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_progressLines.indexOf('\n', start);
        if (end < 0)
            break;
        const QByteArray line = m_progressLines.mid(start, end - start);
        start = end + 1;
        const qsizetype pass = line.lastIndexOf(": pass ");
        if (!line.startsWith("srm: ") || pass < 5)
            continue;
        const QByteArray path = line.mid(5, pass - 5);
        // Only a path the tool was handed, or one inside the folder it was
        // handed: a name holding a newline would otherwise show a fragment.
        const bool ours = m_toolPaths.contains(path) ||
                          (m_toolPaths.size() == 1 && startsInside(path, m_toolPaths.first()));
        if (ours)
            working = path;
    }
    m_progressLines.remove(0, start);
    // A line that never ends (a name full of bytes, no newline) is not kept whole.
    if (m_progressLines.size() > 64 * 1024)
        m_progressLines.clear();
    if (working.isEmpty())
        return;
    const QString label = QFile::decodeName(working);
    if (label == m_label)
        return;
    m_label = label;
    sendProgress();
}

void RemoveFileAndFolder::takeRecord(const QByteArray& record)
{
    // "E\t<path>": gone. "F\t<path>\t<reason>": left in place; the reason is
    // after the last tab, since a name may hold tabs itself.
    if (record.size() < 3 || record.at(1) != '\t' || (record.at(0) != 'E' && record.at(0) != 'F'))
        return;
    const bool gone = record.at(0) == 'E';
    QByteArray path = record.mid(2);
    QByteArray reason;
    if (!gone) {
        const qsizetype tab = path.lastIndexOf('\t');
        if (tab < 0)
            return;
        reason = path.mid(tab + 1);
        path.truncate(tab);
    }
    if (gone)
        m_erasedPaths.insert(path);
    const QList<qsizetype> indexes = takeExpected(path);
    if (!gone)
        platform::log(QStringLiteral("srm left %1: %2").arg(QFile::decodeName(path), QString::fromUtf8(reason)));
    // The tool's word is checked against the disk: a name still there is not erased.
    const bool erased = gone && !exists(path);
    for (qsizetype index : indexes) {
        if (!erased)
            m_allFiles.at(index)->failReason = gone ? QStringLiteral("it is still there") : QString::fromUtf8(reason);
        itemDone(index, erased);
    }
}

void RemoveFileAndFolder::toolFinished(QProcess* process)
{
    if (process != m_process)
        return;
    if (process) {
        readRecords();
        m_process = nullptr;
        process->deleteLater();
    }
    // What the tool never reported was not erased. After a cancel only the
    // item it was working on has had its turn; later ones stay unprocessed.
    for (qsizetype index = m_expectFirst; index <= m_expectLast; ++index) {
        if (m_done[static_cast<size_t>(index)])
            continue;
        // Listed twice (a ticked file inside a ticked folder): erased at
        // its first turn, so this tool never saw it.
        const QByteArray path = m_allFiles.at(index)->pathBytes();
        itemDone(index, !m_cancel && m_erasedPaths.contains(path) && !exists(path));
        if (m_cancel)
            break;
    }
    m_expectByPath.clear();
    m_expectFirst = 0;
    m_expectLast = -1;
    m_job = m_batchEnd;
    doneErasing();
}

void RemoveFileAndFolder::itemDone(qsizetype index, bool erased)
{
    if (m_done[static_cast<size_t>(index)])
        return;
    m_done[static_cast<size_t>(index)] = 1;
    ++m_doneCount;
    const FileObjPtr& item = m_allFiles.at(index);
    m_processed.append(item);
    if (erased) {
        item->failStr = Outcome::success;
    } else {
        item->failStr = Outcome::fail;
        if (m_delegate)
            m_delegate->haveFailEraser();
    }
    if (m_cancel)
        return;
    // Every item that ends counts, the last one too. The label stays on what
    // the tool named last: the next item in list order is a guess, and while
    // a large file is overwritten it is not the one being worked on.
    m_idx = static_cast<int>(m_doneCount);
    sendProgress();
}

void RemoveFileAndFolder::sendProgress()
{
    if (!m_delegate || m_allFiles.isEmpty())
        return;
    const auto percent = static_cast<unsigned>(m_doneCount) * 100u / static_cast<unsigned>(m_allFiles.size());
    m_delegate->removeProgress(static_cast<float>(percent), m_label, static_cast<int>(m_doneCount));
}

void RemoveFileAndFolder::finishRun()
{
    if (m_ended)
        return;
    m_ended = true;
    // The tool syncs what it erases; the names removed here directly reach
    // the disk by one sync of each volume the run touched, off this thread.
    const QList<QByteArray> folders = m_touchedFolders.values();
    platform::runInBackground(
        this,
        [folders] {
            QSet<dev_t> synced;
            for (const QByteArray& folder : folders) {
                const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (fd < 0)
                    continue;
                struct stat st{};
                if (::fstat(fd, &st) == 0 && !synced.contains(st.st_dev)) {
                    synced.insert(st.st_dev);
                    ::syncfs(fd);
                }
                ::close(fd);
            }
        },
        [this] {
            m_endSent = true;
            if (m_delegate)
                m_delegate->removeObjEnd(m_processed);
        });
}
