#pragma once
#include "Comm/VolumeObj.h"
#include "Main/MainWindowTool.h"
#include "PopWindow/PanelController.h"
#include "RepairDisk/FormatEndViewController.h"
#include "RepairDisk/FristAidViewController.h"
#include "RepairDisk/MakeSureFormatViewController.h"
#include "RepairDisk/ShowAidViewControllrt.h"
#include "platform/DiskTool.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class CustomTableView;
class QProgressBar;
class QStandardItemModel;
class RepairDiskTableCellView;
class WatchMountUnmount;
namespace Ui { class RepairDiskViewController; }

// The Disk Manager: one row per volume a user may act on, the selected row
// with its buttons (Open, Mount/Unmount, First Aid, Rename, Format, Eject),
// and the dialogs of Format and First Aid. Every command is our diskutil run
// through DiskTool; its failures are shown with diskutil's reason.
class RepairDiskViewController : public QWidget,
                                 public MainWindowTool,
                                 public MakeSureFormatVCDelegate,
                                 public FristAidVCDelegate,
                                 public ShowAidVCDelegate
{
    Q_OBJECT
public:
    // How a dialog is put on screen; by default the modal panel of runModalPanel().
    using PanelRunner = std::function<void(PanelController*, PanelAnchor, int side, double distance)>;

    explicit RepairDiskViewController(QWidget* parent = nullptr, platform::DiskTool tool = {});
    ~RepairDiskViewController() override;

    QWidget* toolView() override { return this; }
    void getallVolumes() override;
    // Asks for a rescan and returns its request number: the list on screen
    // reflects the volumes as they were at the request once scanCovers() it.
    int requestScan();
    bool scanCovers(int request) const { return m_coveredRequest >= request; }

    // Table.
    int numberOfRows() const { return int(m_allVolumeArr.size()); }
    int heightOfRow(int row) const;
    void selectRow(int row);
    // The row the keyboard is on (its ring shows while the list has the focus).
    int keyRow() const { return m_keyRow; }
    // A press on a row as the pointer gives it: chooses it unless it changed
    // under the pointer a moment ago, and keeps it where it was pressed.
    void pressRow(int row);
    // A row that moved or became another volume takes no press this long.
    static constexpr int kRowSettleMs = 500;
    // The Disk Manager's mounted test: free bytes and not APFS, else a mount point.
    static bool isVolumeMounted(const VolumeObj& volume);

    // Row actions; each acts on the selected row's volume.
    void OpenButtonAction();
    void mountButtonAction();
    void aidtButAction();
    void renameButtonAction();
    void saveButtonAction();
    void formatButtonAction();
    void ejectButtonAction();
    void controlTextDidChange(const QString& text);

    // Format.
    void makeSureToFormatSelectVolumeWithName(const QString& name, const QString& type) override;
    void showFormatEndWindow(bool succeeded, const QString& reason);

    // First Aid.
    void checkDiskAction() override;
    void repairDiskAction() override;
    void doCheckDiskAction();
    void dorepairDiskAction();
    void closeShowAidWindow() override;

    const QList<VolumeObjPtr>& allVolumeArr() const { return m_allVolumeArr; }
    VolumeObjPtr selectVolume() const { return m_selectVolume; }
    int selectIndex() const { return m_selectIndex; }
    bool isScanV() const { return m_isScanV; }
    bool isRenameEdit() const { return m_isRenameEdit; }
    QString editStr() const { return m_editStr; }
    RepairDiskTableCellView* cellView(int row) const;
    CustomTableView* parTableView() const;
    QProgressBar* loadPro() const;
    MakeSureFormatViewController* makeSureFormatVC() const { return m_makeSureFormatVC; }
    FormatEndViewController* formatEndVC() const { return m_formatEndVC; }
    FristAidViewController* fristAidVC() const { return m_fristAidVC; }
    ShowAidViewControllrt* showAidVC() const { return m_showAidVC; }
    DiskActionFailedViewController* failureVC() const { return m_failureVC; }

    // Tests: how dialogs are shown, how a folder is opened, the rescan window.
    void setPanelRunner(PanelRunner runner) { m_panelRunner = std::move(runner); }
    void setOpener(std::function<bool(const QString&)> opener) { m_opener = std::move(opener); }
    static void setRescanThrottleWindow(int ms);
    // Dialogs wait this long before the next step (First Aid's start, the
    // format's end dialog).
    void setDialogDelays(int firstAidStartMs, int formatEndMs);

signals:
    // A scan put its list on screen.
    void volumesReloaded();
    // A command ended: "mount", "unmount", "eject", "rename", "format".
    void actionEnded(const QString& action, bool succeeded, const QString& reason);
    void firstAidEnded(int exitCode);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct SystemFlags
    {
        bool volume = false;  // the volume is one the system runs from
        bool disk = false;    // its disk holds one
    };

    void installVolumes(const QList<QVariantMap>& descriptions, quint64 serial);
    void setKeyRow(int row);
    // Puts the keyboard on the open row's button `identifier`, or on its
    // first usable one, or on the list.
    void focusRowButton(const QString& identifier);
    void cancelRename();
    void reloadTable();
    void markRowsChanged(int from, int to);
    // Milliseconds until `row` takes a press again.
    int settleLeft(int row) const;
    void configureCell(RepairDiskTableCellView* cell, int row);
    void queueRowAction(const VolumeObjPtr& volume, const QString& identifier,
                        void (RepairDiskViewController::*action)());
    void endRenaming();
    void restoreFailedRename();
    void openPanel(PanelController* controller, PanelAnchor anchor, int side, double distance);
    void runAction(const QString& action, const QStringList& args, std::function<void(bool, const QString&)> done);
    void showActionFailure(const QString& action, const QString& reason);
    void showNotice(const QString& title, const QString& text);
    void startFirstAid(bool repair);
    void streamFirstAid(const QString& verb);
    SystemFlags systemFlags(const VolumeObj& volume) const;

    std::unique_ptr<Ui::RepairDiskViewController> ui;
    platform::DiskTool m_tool;
    QStandardItemModel* m_model = nullptr;
    QList<RepairDiskTableCellView*> m_cells;
    WatchMountUnmount* m_watchMu = nullptr;

    QList<VolumeObjPtr> m_allVolumeArr;
    QList<qint64> m_rowChangedAt;  // per row, on m_rowClock; 0 for never
    QElapsedTimer m_rowClock;
    QHash<QString, SystemFlags> m_systemFlags;  // by device identifier
    int m_selectIndex = 0;
    VolumeObjPtr m_selectVolume;
    bool m_isScanV = false;
    bool m_rescanPending = false;
    // Rescan requests: each waits for a list from a scan that started after
    // it (by the enumeration's scan serial).
    int m_requests = 0;
    int m_coveredRequest = 0;
    QList<std::pair<int, quint64>> m_waitingRequests;
    quint64 m_installedSerial = 0;
    // A list the enumeration announced while our own scan ran.
    std::optional<std::pair<QList<QVariantMap>, quint64>> m_announced;
    int m_keyRow = -1;
    QString m_keyButton;  // the row button the keyboard was last on
    bool m_isRenameEdit = false;
    QString m_editStr;
    bool m_isMount = false;

    // The volume a dialog or a running command was opened for: a rescan in
    // between never redirects it to another row.
    VolumeObjPtr m_renameTarget;
    VolumeObjPtr m_formatTarget;
    VolumeObjPtr m_aidTarget;
    struct FailedRename
    {
        QString device;
        QString typed;
    };
    std::optional<FailedRename> m_failedRename;

    QPointer<MakeSureFormatViewController> m_makeSureFormatVC;
    QPointer<FormatEndViewController> m_formatEndVC;
    QPointer<FristAidViewController> m_fristAidVC;
    QPointer<ShowAidViewControllrt> m_showAidVC;
    QPointer<DiskActionFailedViewController> m_failureVC;
    QPointer<platform::DiskToolStream> m_aidStream;
    int m_chunkCount = 0;
    int m_firstAidStartMs = 1000;
    int m_formatEndMs = 500;

    PanelRunner m_panelRunner;
    std::function<bool(const QString&)> m_opener;
};
