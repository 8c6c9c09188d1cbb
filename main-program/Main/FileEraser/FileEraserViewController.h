#pragma once
#include "Main/FileEraser/DragView.h"
#include "Main/FileEraser/Engine/RemoveFileAndFolder.h"
#include "Main/FileEraser/FileEraserList.h"
#include "Main/FileEraser/FileEraserSortVC.h"
#include "Main/FileEraser/MakeSureFileEraserViewControoler.h"
#include "Main/MainWindowTool.h"
#include "Main/Tools/CheckButtonCell.h"
#include "Main/Tools/CustomTableView.h"
#include "PopWindow/AttachedDropDown.h"
#include "SetEraserLevel/HistoryViewController.h"
#include "SetEraserLevel/SetEraserLevelVC.h"
#include "SetEraserLevel/SidePanelSlot.h"

#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class DoDataBase;
class FileEraserOpenPanel;
class FileEraserTableModel;
class QLabel;
namespace Ui { class FileEraserViewController; }

// The Erase Files/Folders screen: the list of items to shred, the run with
// its progress page, the end pages and the history record.
class FileEraserViewController : public QWidget,
                                 public MainWindowTool,
                                 public DragViewDelegate,
                                 public CustomTableViewDelegate,
                                 public CheckButtonCellDelegate,
                                 public SetEraserLevelVCDelegate,
                                 public HistoryVCDelegate,
                                 public FileEraserSortVCDelegate,
                                 public MakeSureFileEraserVCDelegate,
                                 public RemoveFileAndFolderDelegate
{
    Q_OBJECT
public:
    // The key that adds, as the Add button does.
    static constexpr const char* kAddShortcut = "Ctrl+O";
    // `store` is the history the runs are recorded in; null for the shared one.
    explicit FileEraserViewController(QWidget* parent = nullptr, DoDataBase* store = nullptr);
    ~FileEraserViewController() override;

    QWidget* toolView() override { return this; }
    void setSuperDelegate(MainWindowToolHost* host) override { m_superDelegate = host; }
    // The secure-remove tool; empty for the program's own.
    void setToolPath(const QString& path) { m_toolPath = path; }

    // List side.
    void selectFileButtonAction() override;
    void panelDidChangeToDirectory(const QString& path);
    void viewDragAction(const QStringList& paths) override;
    // Adds chosen paths as the panel and the drop areas do; false when nothing new is listed.
    bool addChosenPaths(const QStringList& paths);
    void emptyListButtonAction();
    void setAllSelectOrNoSelect();
    void selectListButton(int row);
    void changeSelectAllButtonState();
    int returnSelectAllState() const { return m_list.returnSelectAllState(); }
    void changeHistoryButtonState();
    void showNTFSWindow();
    void showSystemItemWindow(const QString& path);
    void openFinderWhenClickItems(const FileObjPtr& item);
    void showInFinderWhenClickItems(const FileObjPtr& item);
    // A message about an item that could not be opened; the keyboard goes
    // back where it was afterwards.
    void sayCannotOpen(const QString& text);
    void openFileButton();
    void listRightMouseDown(QMouseEvent* event) override;
    void clickButtonAction(CheckButtonCell* cell, const QModelIndex& index) override;

    // Sort pop-over.
    void sortButtonAction();
    void closeMattachedWindow();
    void mouseEixtView(bool exited) override;
    void selectSortbyType(int sortType, int sortAD) override;

    // Run side.
    void eraserNowButtonAction();
    void makeSureToEraserSelectFiles() override;
    void doEraserSelectFiles();
    void beginRemove();
    void removeProgress(float percent, const QString& path, int index) override;
    void haveFailEraser() override;
    void removeObjEnd(const FileObjList& processed) override;
    void cancelShred();
    // Leaving the program during a run: cancels it, waits a bounded time for
    // the tool to stop, and records the run before returning.
    void finishBeforeQuit();
    void showEndView();
    void setEndView(bool hidden);
    void failEndBackToMainView();
    void sussEndBackToMainView();

    // Side panels.
    void setButtonAction();
    void closeSetEraserLevelView() override;
    void historyButtonAction();
    void closeHistoryView() override;
    void aboutButtonAction();

    // "h:mm:ss" for the elapsed clock.
    static QString clockText(int seconds);
    // Where the sort pop-over of `popSize` opens in a main window of
    // `windowSize`: above its designed point when it then lies inside the
    // window, else below `button` (the sort button's frame in the window).
    struct SortAnchor
    {
        QPointF point;
        int side = 3;
    };
    static SortAnchor sortAnchor(const QSize& windowSize, const QSize& popSize, const QRect& button);

    const FileEraserList& list() const { return m_list; }
    FileEraserList& list() { return m_list; }
    const FileObjList& deleteErrorArr() const { return m_deleteErrorArr; }
    bool isCancel() const { return m_isCancel; }
    bool isFailedEraser() const { return m_isFailedEraser; }
    bool isRunning() const { return m_running; }
    // False when the last run could not be stored in the history.
    bool lastRunRecorded() const { return m_lastRunRecorded; }
    FileEraserSortVC* sortPopover() const { return m_fileEraserSortVC; }
    QWidget* sortAttachedWindow() const { return m_sortDropDown.window(); }
    // Where the sort drop-down hangs from, in the screen's coordinates.

signals:
    // The end page is on screen and the first attempt to record the run is
    // over (a busy history is tried again in the background).
    void runEnded();
    // The run is in the history.
    void historyWritten();
    void sorted();

protected:
    // The sort pop-over's keys while it is open by keys.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpButtons();
    void reloadTable();
    void showListView();
    void slide(QWidget* page, int x, std::function<void()> done = {});
    void showProgressValue();
    void setEraserTime();
    void stopEraserTimer();
    void setEraserBigTimer();
    void showEraserBigFileNode();
    void stopEraserBigTimer();
    void leaveEndPage(QWidget* page);
    void listContextMenu(const QPoint& pos);
    void setUpTable();
    void applyColumnWidths();
    void raiseScreenButtons();
    void recordRun(const FileObjList& items);
    static void waitForEvents();
    void historyRecorded();

    std::unique_ptr<Ui::FileEraserViewController> ui;
    FileEraserList m_list;
    FileEraserTableModel* m_model = nullptr;
    MainWindowToolHost* m_superDelegate = nullptr;
    DoDataBase* m_store;
    bool m_lastRunRecorded = true;
    QString m_toolPath;

    int m_sortType = SortChoice::byName;
    int m_sortAD = SortChoice::ascending;
    QPointer<FileEraserSortVC> m_fileEraserSortVC;
    AttachedDropDown m_sortDropDown;
    bool m_sortByKeys = false;  // the open pop-over is worked by keys

    QPointer<FileEraserOpenPanel> m_panel;
    QString m_newPathStr;
    static bool s_isOpen;

    std::unique_ptr<RemoveFileAndFolder> m_removeFileAndFolder;
    FileObjList m_confirmedItems;  // the top-level items the user confirmed
    FileObjList m_runList;
    int m_recordAttempts = 0;
    bool m_recordInFlight = false;
    FileObjList m_unrecorded;  // a finished run the history has not taken yet
    static constexpr int kRecordAttempts = 120;
    static constexpr int kRecordRetryMs = 1000;
    static constexpr int kQuitWaitMs = 10000;
    bool m_isCancel = false;
    bool m_isFailedEraser = false;
    bool m_running = false;
    bool m_engineEnded = false;  // the engine is done; the end page is on its way
    FileObjList m_deleteErrorArr;
    QTimer m_eraserTimer;
    int m_eraserTimeR = 0;
    QTimer m_eraserBigTimer;
    std::unique_ptr<SidePanelSlot> m_levelSlot;
    std::unique_ptr<SidePanelSlot> m_historySlot;
};
