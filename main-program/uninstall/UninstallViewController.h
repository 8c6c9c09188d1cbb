#pragma once
#include "Main/FileEraser/FileEraserSortVC.h"
#include "Main/MainWindowTool.h"
#include "Main/Tools/CheckButtonCell.h"
#include "Main/Tools/CustemTextField.h"
#include "PopWindow/AttachedDropDown.h"
#include "uninstall/AMAppItem.h"
#include "uninstall/ApplicationScan.h"
#include "uninstall/CustemSegmentVC.h"
#include "uninstall/MakeSureUninstallViewController.h"
#include "uninstall/RelatedAppFilesScanner.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class PanelController;
class FocusRing;
class CustomTableView;
class UninstallRun;
class UninstallTableModel;
namespace Ui { class UninstallViewController; }

// The Uninstaller: three tabs (applications, widgets, plug-ins) filled by a
// scan, a list with search, sorting and ticking, and the removal of the
// ticked records (or one row's) through the confirmation checklist and the
// progress panel.
class UninstallViewController : public QWidget,
                                public MainWindowTool,
                                public CheckButtonCellDelegate,
                                public CustemTextFieldDelegate,
                                public FileEraserSortVCDelegate,
                                public MakeSureUninstallVCDelegate,
                                public CustemSegmentVCDelegate
{
    Q_OBJECT
public:
    // Shows a dialog controller and returns when it is closed.
    using PanelRunner = std::function<void(PanelController*)>;

    explicit UninstallViewController(QWidget* parent = nullptr);
    // Tests pass their own folders and tools; `scanNow` false leaves the
    // first scan to the caller.
    UninstallViewController(const ScanSetup& setup, const RelatedRoots& roots, bool scanNow, QWidget* parent = nullptr);
    ~UninstallViewController() override;

    QWidget* toolView() override { return this; }
    void setPanelRunner(PanelRunner runner) { m_panelRunner = std::move(runner); }
    // Asked when the window is closed while a removal goes on: true quits
    // once the removal has ended. Tests pass their own answer.
    void setQuitAsker(std::function<bool()> asker) { m_quitAsker = std::move(asker); }
    bool removalRunning() const;
    bool quitsWhenDone() const { return m_quitWhenDone; }

    // Scan side.
    void begimScanFile();
    void getApplications();
    void refButtonAction();
    bool isScan() const { return m_isScan.load(); }

    // Tabs, ticking, search, sorting.
    void segmentSelectWithIndex(int index) override;
    void clickButtonAction(CheckButtonCell* cell, const QModelIndex& index) override;
    // The trash button of the clicked row.
    void trashClicked(const QModelIndex& index);
    void selectAllButtonAction();
    void changeSelectAllButtonState();
    void beginToEnditForTextField() override;
    void controlTextDidChange(const QString& text);
    void controlTextDidEndEditing();
    void closeSearchButton();
    void tableDidClickColumn(int column);
    void sortButtonAction();
    void mouseEixtView(bool exited) override;
    void selectSortbyType(int sortType, int sortAD) override;

    // Removal.
    void uninstallAppButtonAction();
    void oneAppRemove(int row);
    void showSelectListWindiwWith(const QList<AMAppGroup>& groups);
    void uninstallConfirmed(const AMAppItemList& ticked, const AMAppItemList& kept) override;
    void completeCleanRelatedFiles() override;

    // What the screen holds, for its owner and tests.
    int appsType() const { return m_appsType; }
    const AMAppItemList& fullList(int tab) const;
    const AMAppItemList& showList() const { return m_showListArr; }
    const AMAppItemList& tickedList(int tab) const;
    QString countLineText() const;
    // The ticked records the list shows, in ticked order: what Uninstall takes.
    AMAppItemList shownTicked() const;
    QString selectAllText() const;
    bool uninstallEnabled() const;
    QString nameColumnTitle() const;
    CustemSegmentVC* typeSegment() const { return m_typeSegment; }
    UninstallTableModel* model() const { return m_model; }
    UninstallRun* lastRun() const { return m_run.get(); }
    CustemTextField* searchField() const;
    // The groups a removal of `records` offers, built on the caller's thread.
    QList<AMAppGroup> groupsFor(const AMAppItemList& records);
    // Gathering what a removal offers, or a removal going on: the list and
    // its buttons ignore the user meanwhile.
    bool isBusy() const { return m_isPreparing; }

    FocusRing* focusRing() const { return m_ring; }
    CustomTableView* tableView() const;

signals:
    void scanEnded();
    void removalEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void updateTrashHighlight();
    QModelIndex cell(int row, int column) const;
    void setUp();
    void setUpTable();
    void reloadTable();
    void rebuildHeader();
    void applyColumnWidths();
    void setHeaderTitle();
    AMAppItemList& full(int tab);
    AMAppItemList& ticked(int tab);
    void applyFilter();
    void startRun(const AMAppItemList& ticked, const AMAppItemList& kept);
    void finishRunIfDone();
    void measureSize(const AMAppItemPtr& item);

    // What the confirmation of one record needs, gathered on any thread
    // without touching the shared record; applied on the main thread.
    struct PreparedRemoval
    {
        AMAppItemPtr record;
        QString size;
        AMAppGroup group;
    };
    // `otherEntries`: for each record, the entries of its program that other
    // rows stand for, offered in its group.
    static QList<PreparedRemoval> prepareRemoval(const AMAppItemList& records, const QList<QStringList>& otherEntries,
                                                 const PackageTools& tools, const RelatedRoots& roots,
                                                 const QStringList& others);
    static QList<AMAppGroup> applyPrepared(const QList<PreparedRemoval>& prepared);
    static QString listSizeOf(const AMAppItem& record);
    // The package manager's plan for each package, by name; seconds each.
    struct PackagePlan
    {
        bool possible = false;
        QStringList removes;
        uint64_t bytes = 0;
        QString failReason;
    };
    static QHash<QString, PackagePlan> planRemovals(const QStringList& packages, const PackageTools& tools);
    QStringList otherPatterns(const AMAppItemList& records) const;
    QList<QStringList> otherEntriesOf(const AMAppItemList& records) const;
    void confirmRemovalOf(const AMAppItemList& records);
    void setBusy(bool busy);

    std::unique_ptr<Ui::UninstallViewController> ui;
    ScanSetup m_setup;
    RelatedRoots m_roots;
    CustemSegmentVC* m_typeSegment = nullptr;
    UninstallTableModel* m_model = nullptr;
    PanelRunner m_panelRunner;

    AMAppItemList m_allApplications, m_widgetsArr, m_pluginsArr, m_showListArr;
    AMAppItemList m_uninsatllAppArr, m_uninsatllWidgtsArr, m_uninsatllPlugetsArr;
    QList<QStringList> m_searchPaths;
    int m_appsType = 0;
    std::atomic<bool> m_isScan{false};
    quint64 m_scanGeneration = 0;

    int m_selectRow = 0;
    int m_hoverRow = -1;  // the row whose trash button is under the pointer
    FocusRing* m_ring = nullptr;
    bool m_isSort = false;
    int m_sortColumn = -1;
    int m_sortType = 0;
    int m_sortAD = 0;
    QPointer<FileEraserSortVC> m_fileEraserSortVC;
    AttachedDropDown m_sortDropDown;

    bool m_isUninsatllOne = false;
    AMAppItemPtr m_oneItem;  // the row whose trash button was pressed
    std::unique_ptr<UninstallRun> m_run;
    bool m_progressClosed = false;
    std::function<bool()> m_quitAsker;
    bool m_quitWhenDone = false;
    QPointer<QWidget> m_watchedWindow;
    bool m_isPreparing = false;
    quint64 m_planGeneration = 0;
};
