#include "WipeDisk/WipeRun.h"

#include "Comm/VolumeIdentity.h"
#include "WipeDisk/WipeVolumes.h"
#include "platform/Background.h"
#include "platform/Log.h"
#include "platform/MountTable.h"

#include <QDeadlineTimer>
#include <QSet>
#include <QTimer>

#include <mutex>

const QString WipeRun::kNtfsVolumeName = QStringLiteral("NEW");
const QString WipeRun::kOtherMediumText = QStringLiteral(
    "The disk at %1 is not the one you chose: another disk took its place. Nothing was wiped.");

namespace {

constexpr int kNtfsSettleMs = 2000;

struct EraseOutcome
{
    bool erased = false;
    bool ntfsRoad = false;
    QString failure;
    QString mountPoint;
    QVariantMap info;
};

bool isNtfs(const QString& type)
{
    return type.contains(QLatin1String("ntfs"), Qt::CaseInsensitive);
}

// Another mounted device already carrying `name`.
QString otherDeviceNamed(const platform::DiskTool& tool, const QString& name, const QString& ownNode)
{
    QSet<QString> asked;
    for (const platform::MountEntry& e : platform::readMountTable()) {
        if (!e.source.startsWith(QLatin1String("/dev/")) || e.source == ownNode || asked.contains(e.source))
            continue;
        asked.insert(e.source);
        const std::optional<QVariantMap> info = WipeVolumes::getDisjInfo(tool, e.source);
        if (info && info->value(QStringLiteral("VolumeName")).toString() == name &&
            info->value(QStringLiteral("DeviceNode")).toString() != ownNode)
            return e.source;
    }
    return QString();
}

QString toolFailure(const platform::CommandResult& r)
{
    const QString text = QString::fromUtf8(r.errors).trimmed();
    if (!r.started)
        return QStringLiteral("diskutil could not be started");
    if (r.timedOut)
        return QStringLiteral("diskutil did not finish in time");
    return text.isEmpty() ? QStringLiteral("diskutil ended with status %1").arg(r.exitCode) : text;
}

}  // namespace

// The worker posts to its run only while the run is alive; a run that gave
// up waiting for its worker clears `owner` first.
struct WipeRun::WorkerLink
{
    std::mutex mutex;
    WipeRun* owner = nullptr;

    template <typename F>
    void post(F f)
    {
        std::lock_guard lock(mutex);
        if (owner)
            QMetaObject::invokeMethod(owner, [o = owner, f = std::move(f)] { f(o); }, Qt::QueuedConnection);
    }
};

WipeRun::WipeRun(VolumeObjPtr volume, Mode mode, int passes, QObject* parent)
    : QObject(parent), m_volume(std::move(volume)), m_mode(mode), m_passes(std::max(passes, 1))
{
}

WipeRun::~WipeRun()
{
    if (!stopAndJoin(15000)) {
        platform::log(QStringLiteral("The fill of %1 did not stop in time").arg(m_volume ? m_volume->volumePath : QString()));
        if (m_link) {
            std::lock_guard lock(m_link->mutex);
            m_link->owner = nullptr;
        }
    }
}

bool WipeRun::isFilling() const
{
    return m_worker && m_worker->isRunning();
}

void WipeRun::cancel()
{
    m_cancelRequested = true;
    if (m_fill)
        m_fill->cancel();
}

bool WipeRun::stopAndJoin(int ms)
{
    if (!m_worker)
        return true;
    if (m_fill)
        m_fill->cancel();
    return m_worker->wait(QDeadlineTimer(ms));
}

void WipeRun::start()
{
    const QString node = m_volume ? m_volume->volumePath : QString();
    if (node.isEmpty()) {
        finish(FillResult::Outcome::Failed, QStringLiteral("No volume was chosen"));
        return;
    }
    const platform::DiskTool tool = m_tool;
    const bool whole = m_mode == WholeDrive;
    const bool listedNtfs = isNtfs(m_volume->volumeType);
    const VolumeObj chosen = *m_volume;
    platform::runInBackground(
        this,
        [tool, node, whole, listedNtfs, chosen] {
            EraseOutcome out;
            std::optional<QVariantMap> info = WipeVolumes::getDisjInfo(tool, node);
            if (!info) {
                out.failure = QStringLiteral("%1 can no longer be found").arg(node);
                return out;
            }
            // A stick pulled and another plugged in gets the same node.
            if (!WipeVolumes::holdsMedium(*info, chosen)) {
                out.failure = kOtherMediumText.arg(node);
                return out;
            }
            // diskutil checks the medium again under its own lock, right before
            // it acts; a record without a sequence has nothing to compare.
            const QStringList expect = chosen.diskSequence != 0 ? expectedMediumArguments(chosen) : QStringList();
            if (whole) {
                if (WipeVolumes::isSystemVolume(*info)) {
                    out.failure = QStringLiteral("%1 is a system volume and cannot be wiped").arg(node);
                    return out;
                }
                platform::CommandResult erased;
                // What the device holds now decides the road, not what the list showed.
                if (listedNtfs || isNtfs(info->value(QStringLiteral("FilesystemName")).toString())) {
                    // The erased volume is named "NEW"; a second one of that name would be confusable.
                    const QString other = otherDeviceNamed(tool, kNtfsVolumeName, node);
                    if (!other.isEmpty()) {
                        out.failure = QStringLiteral("Another volume (%1) is already named \"%2\". Rename or eject it and try again.")
                                          .arg(other, kNtfsVolumeName);
                        return out;
                    }
                    erased = tool.run(expect + QStringList{QStringLiteral("eraseVolume"), QStringLiteral("MS-DOS FAT32"),
                                                           kNtfsVolumeName, node});
                    platform::log(QStringLiteral(" rename : %1 ").arg(node));
                    out.ntfsRoad = true;
                } else {
                    erased = tool.run(expect + QStringList{QStringLiteral("reformat"), node});
                }
                if (erased.exitCode == kDiskToolMediumChanged && !erased.timedOut && erased.started) {
                    out.failure = kOtherMediumText.arg(node);
                    return out;
                }
                if (!erased.ok()) {
                    out.failure = QStringLiteral("The volume could not be erased: %1").arg(toolFailure(erased));
                    return out;
                }
                out.erased = true;
                platform::log(QStringLiteral("format volume : %1").arg(node));
                // Found again by its device: the name may have changed, the mount point surely has.
                info = WipeVolumes::getDisjInfo(tool, node);
                if (!info) {
                    out.failure = QStringLiteral("%1 cannot be found after the erase").arg(node);
                    return out;
                }
                if (!WipeVolumes::holdsMedium(*info, chosen, false)) {
                    out.failure = kOtherMediumText.arg(node);
                    return out;
                }
            }
            out.info = *info;
            out.mountPoint = info->value(QStringLiteral("MountPoint")).toString();
            if (out.mountPoint.isEmpty())
                out.failure = QStringLiteral("%1 is not mounted").arg(node);
            return out;
        },
        [this](const EraseOutcome& out) {
            m_erased = out.erased;
            if (out.erased)
                emit erasedVolume();
            if (!out.failure.isEmpty()) {
                finish(FillResult::Outcome::Failed, out.failure);
                return;
            }
            if (!out.ntfsRoad) {
                eraseDone(out.mountPoint, out.info);
                return;
            }
            // The fresh FAT volume is left a moment to settle (automounters,
            // desktop probes) before the fill writes to it.
            QTimer::singleShot(kNtfsSettleMs, this, [this, out] { eraseDone(out.mountPoint, out.info); });
        });
}

void WipeRun::eraseDone(const QString& mountPoint, const QVariantMap& info)
{
    m_volume->volumeFreeSizeNum = info.value(QStringLiteral("FreeSpace")).toLongLong();
    m_fillMountPoint = mountPoint;
    m_systemVolume = WipeVolumes::isSystemVolume(info);
    if (m_mode == WholeDrive) {
        const QStringList entries = DoRemoveObj::rootEntries(mountPoint, info.value(QStringLiteral("VolumeName")).toString());
        if (!entries.isEmpty()) {
            m_remover = std::make_unique<DoRemoveObj>(entries, m_srmPath);
            m_remover->setDelegate(this);
            m_remover->start();
            return;
        }
    }
    startFill(mountPoint);
}

void WipeRun::removeObjEnd()
{
    if (!m_remover)
        return;
    const QStringList failed = m_remover->failedPaths();
    if (!failed.isEmpty()) {
        finish(FillResult::Outcome::Failed,
               QStringLiteral("%1 items on the erased volume could not be removed, among them %2")
                   .arg(failed.size())
                   .arg(failed.first()));
        return;
    }
    startFill(m_fillMountPoint);
}

void WipeRun::startFill(const QString& mountPoint)
{
    m_fillMountPoint = mountPoint;
    m_fill = std::make_shared<FreeSpaceFill>(m_volume->volumePath, mountPoint, m_passes);
    m_fill->setSystemVolume(m_systemVolume);
    if (m_cancelRequested)
        m_fill->cancel();
    auto link = std::make_shared<WorkerLink>();
    link->owner = this;
    m_link = link;
    emit fillStarted();

    std::shared_ptr<FreeSpaceFill> fill = m_fill;
    const platform::DiskTool tool = m_tool;
    const VolumeObj chosen = *m_volume;
    const bool sameFileSystem = !m_erased;
    QThread* worker = QThread::create([fill, link, tool, chosen, sameFileSystem] {
        // Asked again right before the first write: the removal before it
        // may have taken a while, and the medium may have been swapped.
        const std::optional<QVariantMap> info = WipeVolumes::getDisjInfo(tool, chosen.volumePath);
        if (!info || !WipeVolumes::holdsMedium(*info, chosen, sameFileSystem)) {
            const QString why = info ? kOtherMediumText.arg(chosen.volumePath)
                                     : QStringLiteral("%1 can no longer be found").arg(chosen.volumePath);
            link->post([why](WipeRun* owner) { owner->finish(FillResult::Outcome::Failed, why); });
            return;
        }
        FreeSpaceFill::Callbacks callbacks;
        callbacks.progress = [link](float value, int pass, int passes) {
            link->post([value, pass, passes](WipeRun* owner) { emit owner->progressed(value, pass, passes); });
        };
        callbacks.passEnded = [link](int pass, int passes) {
            link->post([pass, passes](WipeRun* owner) { emit owner->passEnded(pass, passes); });
        };
        const FillResult result = fill->run(callbacks);
        link->post([result](WipeRun* owner) {
            owner->m_result.written = result.written;
            owner->m_result.unreached = result.unreached;
            owner->finish(result.outcome, result.reason);
        });
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    m_worker = worker;
    worker->start();
}

void WipeRun::finish(FillResult::Outcome outcome, const QString& reason)
{
    if (m_ended)
        return;
    m_ended = true;
    m_result.outcome = outcome;
    m_result.reason = reason;
    if (outcome == FillResult::Outcome::Failed)
        platform::log(QStringLiteral("Wiping %1 failed: %2").arg(m_volume ? m_volume->volumePath : QString(), reason));
    emit finished();
}
