#pragma once
#include "Comm/VolumeObj.h"
#include "Main/MainWindowTool.h"
#include "Main/Tools/CheckButtonCell.h"
#include "SetEraserLevel/HistoryViewController.h"
#include "SetEraserLevel/SetEraserLevelVC.h"
#include "SetEraserLevel/SidePanelSlot.h"
#include "WipeDisk/MakeSureWipeDiskViewController.h"
#include "WipeDisk/MakeSureWipeFreeSpaceViewController.h"
#include "WipeDisk/WipeRun.h"
#include "platform/DiskTool.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class DoDataBase;
class ProgressView;
class StepProgressViewVC;
class WatchMountUnmount;
class WipeVolumeTableModel;
namespace Ui { class WipeDiskViewController; }

// The screen of Wipe Hard Drive (mode 2) and Wipe Free Space (mode 1): the
// mounted volumes, the run with its progress panel, the end views and the
// history record. The work itself is a WipeRun.
class WipeDiskViewController : public QWidget,
                               public MainWindowTool,
                               public MakeSureWipeDiskVCDelegate,
                               public MakeSureWipeFreeSpaceVCDelegate,
                               public SetEraserLevelVCDelegate,
                               public HistoryVCDelegate,
                               public CheckButtonCellDelegate
{
    Q_OBJECT
public:
    // `store` is the history the runs are recorded in; null for the shared one.
    explicit WipeDiskViewController(QWidget* parent = nullptr, DoDataBase* store = nullptr);
    ~WipeDiskViewController() override;

    // MainWindowTool
    QWidget* toolView() override { return this; }
    void setSuperDelegate(MainWindowToolHost* host) override { m_superDelegate = host; }
    void getallVolumes() override;
    void changeFormatOrFreeSpaceView(int type) override;
    void endAppRemoveFolder() override;

    void setDiskTool(const platform::DiskTool& tool) { m_tool = tool; }
    void setSrmPath(const QString& path) { m_srmPath = path; }

    // The list. A row below 0 chooses again the device chosen last.
    void selectVolumeButton(int row = -1);
    void clickButtonAction(CheckButtonCell* cell, const QModelIndex& index) override;
    const QList<VolumeObjPtr>& allVolumeArr() const { return m_allVolumeArr; }
    VolumeObjPtr selectVolumeObj() const { return m_selectVolumeObj; }
    int selectEraserType() const { return m_selectEraserType; }
    bool isScanV() const { return m_isScanV; }
    // Asks for a rescan and returns its request number; scanCovers() it once
    // a list read after the request is on screen.
    int requestScan();
    bool scanCovers(int request) const { return m_scanCovered >= request; }
    // Chooses `row` as a click or a key does; a click on a row that became
    // another volume a moment ago chooses nothing. False when nothing was chosen.
    bool chooseRow(int row, bool byPointer);
    // Chooses the listed row of `deviceNode`; false when it is not listed.
    bool selectDevice(const QString& deviceNode);

    // The run.
    void wipeButtonAction();
    void makeSureToWipeSelectVolume() override;
    void makeSureToWipeFreeSpaceSelectVolume() override;
    void cancelWipeDiskButtonAction();
    void cancelWipeFreeSpaceButtonAction();
    void showComplite();
    void showEndEraser();
    void setEndView(bool hidden);
    void sussEndBackToMainView();
    void failEndBackToMainView();
    bool isRunning() const { return m_run != nullptr && !m_ended; }
    QString lastResultText() const { return m_lastResult; }
    QString lastFailReason() const { return m_errorString; }
    // What the failure page says of why (the line under its title).
    QString failPageReason() const;
    WipeRun* currentRun() const { return m_run.get(); }

    // The clock.
    void setEraserTime();
    void stopEraserTimer();
    void showProgressValue();
    static QString clockText(int seconds);

    // Side panels.
    void setButtonAction();
    void closeSetEraserLevelView() override;
    void historyButtonAction();
    void closeHistoryView() override;
    void aboutButtonAction();
    void changeHistoryButtonState();

signals:
    void scanEnded();
    // The end view is on screen and the run is recorded.
    void runEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpButtons();
    void setUpTable();
    void reloadTable();
    void slide(QWidget* page, int x, std::function<void()> done = {});
    void showSystemNotice();
    void showGoneNotice();
    void clearChoice();
    // Whether the volume still chosen is the medium that was confirmed.
    bool stillChosen(const VolumeObjPtr& confirmed) const;
    // The same device holding the same medium (and, with `sameFileSystem`,
    // the same file system on it); what a record does not know is not compared.
    static bool sameMedium(const VolumeObj& a, const VolumeObj& b, bool sameFileSystem = true);
    // Writes the run to the history; the history button lights up only then.
    bool recordRun(const QString& result, bool freeSpace, const VolumeObjPtr& volume);
    void prepareStepIndicator(QWidget* panel, const QString& l1, const QString& l2, const QString& l3);
    void startRun(WipeRun::Mode mode);
    void doFreeSpaceAction();
    void leaveEndPage(QWidget* page);
    ProgressView* currentBar() const;
    void setRoundLabel(const QString& text);

    std::unique_ptr<Ui::WipeDiskViewController> ui;
    WipeVolumeTableModel* m_model = nullptr;
    MainWindowToolHost* m_superDelegate = nullptr;
    DoDataBase* m_store;
    platform::DiskTool m_tool;
    QString m_srmPath;

    QList<VolumeObjPtr> m_allVolumeArr;
    VolumeObjPtr m_selectVolumeObj;
    VolumeObjPtr m_confirming;  // the volume a confirmation on screen is about
    int m_selectIndex = -1;
    VolumeObjPtr m_selectMedium;  // the volume chosen last, found again after rescans by its medium
    int m_selectEraserType = 2;
    bool m_isScanV = false;
    bool m_scanRunning = false;  // a diskutil scan is under way (m_isScanV also covers the one awaited at start)
    bool m_rescanWanted = false;  // asked for while a scan ran: that scan may predate the change
    int m_scanRequests = 0;  // rescans asked for so far
    int m_scanCovered = 0;   // the last request a list on screen was read after
    bool m_isBegin = false;
    bool m_isCancelEraser = false;
    bool m_ended = false;
    int m_passesEnded = 0;  // passes of the fill written to their end in this run
    QString m_errorString;
    QString m_lastResult;

    std::unique_ptr<WipeRun> m_run;
    QString m_lastFillMountPoint;
    ProgressView* m_wipeDiskProgressBar = nullptr;
    ProgressView* m_wipeFreeSpaceProgressBar = nullptr;
    QPointer<StepProgressViewVC> m_stepProVC;
    QTimer m_eraserTimer;
    int m_eraserTimeR = 0;
    WatchMountUnmount* m_watchMu = nullptr;
    std::unique_ptr<SidePanelSlot> m_levelSlot;
    std::unique_ptr<SidePanelSlot> m_historySlot;
};
