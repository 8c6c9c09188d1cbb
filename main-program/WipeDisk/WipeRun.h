#pragma once
#include "Comm/VolumeObj.h"
#include "WipeDisk/DoRemoveObj.h"
#include "WipeDisk/FreeSpaceFill.h"
#include "platform/DiskTool.h"

#include <QObject>
#include <QPointer>
#include <QThread>

#include <memory>

// One wipe of one volume, from the confirmation to the result: for Wipe Hard
// Drive the reformat (or, for NTFS, the erase to FAT32 "NEW"), the secure
// removal of whatever the fresh volume holds, then the fill; for Wipe Free
// Space the fill alone. Lives on the main thread; the fill runs on a worker
// of its own, which never outlives the run unnoticed (see stopAndJoin).
class WipeRun : public QObject, public DoRemoveObjDelegate
{
    Q_OBJECT
public:
    enum Mode { FreeSpace = 1, WholeDrive = 2 };
    static const QString kNtfsVolumeName;  // "NEW"
    static const QString kOtherMediumText;

    WipeRun(VolumeObjPtr volume, Mode mode, int passes, QObject* parent = nullptr);
    ~WipeRun() override;

    void setDiskTool(const platform::DiskTool& tool) { m_tool = tool; }
    void setSrmPath(const QString& path) { m_srmPath = path; }

    void start();
    // Honoured once the fill runs; the erase and the removal before it cannot be stopped.
    void cancel();
    bool isFilling() const;
    bool hasEnded() const { return m_ended; }
    // Stops the fill and waits at most `ms` for its worker; true when it ended.
    bool stopAndJoin(int ms);
    // Where the fill folder is (or was) for this run; empty before the fill.
    QString fillFolder() const { return m_fillMountPoint.isEmpty() ? QString() : m_fillMountPoint + '/' + FreeSpaceFill::kFolderName; }
    QString fillMountPoint() const { return m_fillMountPoint; }

    const FillResult& result() const { return m_result; }
    VolumeObjPtr volume() const { return m_volume; }
    Mode mode() const { return m_mode; }
    int passes() const { return m_passes; }
    // Wipe Hard Drive made the volume anew: from here on its files are gone
    // whatever becomes of the fill.
    bool erased() const { return m_erased; }

    void removeObjEnd() override;

signals:
    // The erase of Wipe Hard Drive has ended and the volume was found again.
    void erasedVolume();
    void fillStarted();
    // The bar value of pass `pass` (of `passes`), as the bytes go.
    void progressed(float value, int pass, int passes);
    void passEnded(int pass, int passes);
    // result() holds the outcome; emitted once.
    void finished();

private:
    // The volume is found again (and, for Wipe Hard Drive, freshly made).
    void eraseDone(const QString& mountPoint, const QVariantMap& info);
    void startFill(const QString& mountPoint);
    void finish(FillResult::Outcome outcome, const QString& reason);

    struct WorkerLink;

    VolumeObjPtr m_volume;
    Mode m_mode;
    int m_passes;
    platform::DiskTool m_tool;
    QString m_srmPath;
    QString m_fillMountPoint;
    std::unique_ptr<DoRemoveObj> m_remover;
    std::shared_ptr<FreeSpaceFill> m_fill;
    QPointer<QThread> m_worker;
    std::shared_ptr<WorkerLink> m_link;
    FillResult m_result;
    bool m_ended = false;
    bool m_erased = false;
    bool m_systemVolume = false;
    bool m_cancelRequested = false;
};
