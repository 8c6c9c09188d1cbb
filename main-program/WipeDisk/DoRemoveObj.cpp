#include "WipeDisk/DoRemoveObj.h"

#include "platform/Layout.h"
#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

DoRemoveObj::DoRemoveObj(const QStringList& paths, const QString& toolPath, QObject* parent)
    : QObject(parent), m_allFilesArr(paths),
      m_toolPath(toolPath.isEmpty() ? platform::Layout::current().tool(QStringLiteral("srm")) : toolPath)
{
}

DoRemoveObj::~DoRemoveObj()
{
    if (m_pEraser && m_pEraser->state() != QProcess::NotRunning) {
        m_pEraser->disconnect(this);
        m_pEraser->kill();
        m_pEraser->waitForFinished(5000);
    }
}

void DoRemoveObj::start()
{
    // The end is always reported from the event loop, never from inside start().
    QTimer::singleShot(0, this, [this] {
        if (!runTaskWithPath() && m_delegate)
            m_delegate->removeObjEnd();
    });
}

QStringList DoRemoveObj::rootEntries(const QString& mountPoint, const QString& volumeLabel)
{
    QStringList paths;
    const QDir root(mountPoint);
    const QFileInfoList entries = root.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        // mkfs makes lost+found on ext file systems; fsck needs it.
        if (entry.fileName() == QLatin1String("lost+found"))
            continue;
        // The FUSE FAT driver shows the volume's label entry as an empty
        // file; removing it would break the file system.
        if (!volumeLabel.isEmpty() && entry.fileName().compare(volumeLabel, Qt::CaseInsensitive) == 0 && entry.isFile() &&
            !entry.isSymLink() && entry.size() == 0)
            continue;
        paths << entry.filePath();
    }
    return paths;
}

bool DoRemoveObj::runTaskWithPath()
{
    while (m_idx < m_allFilesArr.size()) {
        // srm -f clears an immutable flag itself, through the entry it
        // opened and checked; never here by name.
        m_filePathStr = m_allFilesArr.at(m_idx);
        m_pEraser = new QProcess(this);
        m_pEraser->setProcessChannelMode(QProcess::MergedChannels);
        m_pEraser->setStandardInputFile(QProcess::nullDevice());
        // Its lines are not shown; reading them keeps a long output from stalling srm.
        connect(m_pEraser, &QProcess::readyRead, m_pEraser, [p = m_pEraser] { p->readAll(); });
        connect(m_pEraser, &QProcess::finished, this, &DoRemoveObj::doneErasing);
        m_pEraser->start(m_toolPath, {QStringLiteral("-fsvrz"), QStringLiteral("--"), m_filePathStr});
        if (m_pEraser->waitForStarted(-1))
            return true;
        platform::log(QStringLiteral("srm could not be started for %1: %2").arg(m_filePathStr, m_pEraser->errorString()));
        m_failedPaths << m_filePathStr;
        m_pEraser->deleteLater();
        m_pEraser = nullptr;
        ++m_idx;
    }
    return false;
}

void DoRemoveObj::doneErasing(int exitCode, QProcess::ExitStatus status)
{
    if (!m_pEraser || sender() != m_pEraser)
        return;  // only the end of our own srm moves the list on
    if (status != QProcess::NormalExit || exitCode != 0) {
        platform::log(QStringLiteral("srm failed on %1 (%2)").arg(m_filePathStr).arg(exitCode));
        m_failedPaths << m_filePathStr;
    }
    m_pEraser->deleteLater();
    m_pEraser = nullptr;
    ++m_idx;
    if (!runTaskWithPath() && m_delegate)
        m_delegate->removeObjEnd();
}
