#include "Main/FileEraser/Engine/RemoveFileAndFolder.h"

#include "Main/FileEraser/Engine/EraserLevel.h"
#include "platform/FileAttributes.h"
#include "platform/Layout.h"
#include "platform/Log.h"
#include "platform/RemoveTree.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool pathExists(const QString& path)
{
    struct stat st{};
    return ::lstat(path.toLocal8Bit().constData(), &st) == 0;
}

// The folder an entry lives in must be writable for the entry to be removed.
bool isDeletable(const QString& path)
{
    const QString parent = QFileInfo(path).absolutePath();
    return ::access(parent.toLocal8Bit().constData(), W_OK) == 0;
}

// A folder with another volume mounted on it. Its listing and its removal
// would reach that whole volume, which is not the item.
bool isMountPoint(const QString& path)
{
    const QByteArray p = path.toLocal8Bit();
    struct statx sx{};
    if (::statx(AT_FDCWD, p.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS, &sx) != 0)
        return false;
#ifdef STATX_ATTR_MOUNT_ROOT
    if (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#endif
    struct stat up{};
    return ::stat((p + "/..").constData(), &up) == 0 &&
           (up.st_dev != makedev(sx.stx_dev_major, sx.stx_dev_minor) || up.st_ino == sx.stx_ino);
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

bool RemoveFileAndFolder::checkPermissions(const QString& path)
{
    const QByteArray p = path.toLocal8Bit();
    const int fd = ::open(p.constData(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno != EACCES)
        return true;
    return ::chmod(p.constData(), S_IRUSR | S_IWUSR) == 0;
}

void RemoveFileAndFolder::benginToTraskWithArr(const FileObjList& items)
{
    m_idx = 0;
    m_processed.clear();
    m_allFiles = items;
    m_ended = false;
    // A cancel that came before the start ends the run before its first item.
    if (m_allFiles.isEmpty() || m_cancel) {
        finishRun();
        return;
    }
    if (m_delegate)
        m_delegate->removeProgress(m_allFiles.size() == 1 ? 80.0f : 0.0f, m_allFiles.first()->url, 0);
    runTaskWithPath();
    if (!m_process)
        doneErasing();
}

void RemoveFileAndFolder::isCancel()
{
    m_cancel = true;
    if (m_process)
        m_process->terminate();  // its end arrives as usual and ends the run
}

bool RemoveFileAndFolder::runTaskWithPath()
{
    if (m_idx >= m_allFiles.size())
        return false;
    const FileObjPtr item = m_allFiles.at(m_idx);
    const QString path = item->url;
    platform::log(QStringLiteral("-------::%1").arg(path));

    // The current state of the path decides, not what was recorded when the
    // item was listed, and a link is never followed: it is an item of its own.
    struct stat st{};
    const bool exists = ::lstat(path.toLocal8Bit().constData(), &st) == 0;

    if (exists && S_ISDIR(st.st_mode)) {
        if (isMountPoint(path)) {
            platform::log(QStringLiteral("rm folder fail %1").arg(path));
            m_processed.append(item);
            markFailed(item);  // the mounted volume is left alone, whatever the folder's name
            return true;
        }
        const bool empty = QDir(path).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        m_processed.append(item);
        if ((item->isDir && empty) || path.endsWith(QLatin1String(".app"))) {
            // An application bundle goes whole, without overwriting. An empty
            // folder goes by rmdir, so anything created in it meanwhile keeps
            // it in place rather than being removed unshredded.
            const bool isBundle = path.endsWith(QLatin1String(".app"));
            const bool removed = isBundle ? platform::removeTree(path)
                                          : ::rmdir(path.toLocal8Bit().constData()) == 0;
            if (removed) {
                item->failStr = Outcome::success;
            } else {
                platform::log(QStringLiteral("rm folder fail %1").arg(path));
                markFailed(item);
            }
        } else {
            markFailed(item);  // a folder that still has entries stays
        }
        return true;
    }

    const int64_t size = exists ? static_cast<int64_t>(st.st_size) : item->size;
    if (size != 0) {
        startTool(item);
        return true;
    }

    const bool removed = ::unlink(path.toLocal8Bit().constData()) == 0;
    platform::log((removed ? QStringLiteral("rm file sec %1") : QStringLiteral("rm file fail %1")).arg(path));
    item->failStr = removed ? Outcome::success : Outcome::fail;
    m_processed.append(item);
    return true;
}

void RemoveFileAndFolder::startTool(const FileObjPtr& item)
{
    const QString path = item->url;
    m_filePathStr = path;
    m_processed.append(item);

    if (!QFileInfo(m_toolPath).isExecutable()) {
        platform::log(QStringLiteral("srm missing or not executable: %1").arg(m_toolPath));
        markFailed(item);
        return;
    }

    if (platform::isImmutable(path))
        platform::clearImmutable(path);

    // The early verdict; the final one is made when the tool has ended.
    if (!(isDeletable(path) && checkPermissions(path))) {
        platform::log(QStringLiteral("--没有权限--------%1").arg(path));
        markFailed(item);
    } else {
        item->failStr = Outcome::success;
    }

    auto* process = new QProcess(this);
    process->setProgram(m_toolPath);
    process->setArguments({flagsForLevel(getEraserTimes(), item->isSSD), path});
    // The tool is verbose; its output is discarded so a full pipe can never stall it.
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(QProcess::nullDevice());
    // Only this process's own end advances the run.
    connect(process, &QProcess::finished, this,
            [this, process](int code, QProcess::ExitStatus status) { toolFinished(process, code, status); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        // Queued: a failed start may be reported from inside start() itself.
        if (error == QProcess::FailedToStart)
            QMetaObject::invokeMethod(this, [this, process] { toolFinished(process, -1, QProcess::CrashExit); },
                                      Qt::QueuedConnection);
    });
    m_process = process;
    process->start();
}

void RemoveFileAndFolder::toolFinished(QProcess* process, int exitCode, QProcess::ExitStatus status)
{
    if (process != m_process)
        return;
    m_process = nullptr;
    process->deleteLater();

    const FileObjPtr item = m_processed.isEmpty() ? nullptr : m_processed.last();
    if (item) {
        const bool erased = status == QProcess::NormalExit && exitCode == 0 && !pathExists(item->url);
        if (erased)
            item->failStr = Outcome::success;
        else if (item->failStr != Outcome::fail)
            markFailed(item);
    }
    doneErasing();
}

void RemoveFileAndFolder::markFailed(const FileObjPtr& item)
{
    item->failStr = Outcome::fail;
    if (m_delegate)
        m_delegate->haveFailEraser();
}

void RemoveFileAndFolder::doneErasing()
{
    for (;;) {
        ++m_idx;
        if (m_idx >= m_allFiles.size() || m_cancel) {
            finishRun();
            return;
        }
        const auto percent = static_cast<unsigned>(m_idx) * 100u / static_cast<unsigned>(m_allFiles.size());
        if (m_delegate)
            m_delegate->removeProgress(static_cast<float>(percent), m_allFiles.at(m_idx)->url, m_idx);
        runTaskWithPath();
        if (m_process)
            return;  // the tool's end resumes the walk
    }
}

void RemoveFileAndFolder::finishRun()
{
    if (m_ended)
        return;
    m_ended = true;
    ::sync();
    if (m_delegate)
        m_delegate->removeObjEnd(m_processed);
}
