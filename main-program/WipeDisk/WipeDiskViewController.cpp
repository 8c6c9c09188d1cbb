#include "WipeDisk/WipeDiskViewController.h"

#include "Comm/EULinkUrl.h"
#include "Comm/FontCache.h"
#include "Comm/PublicUtilities.h"
#include "Comm/WatchMountUnmount.h"
#include "Main/Tools/CustomTableView.h"
#include "Main/Tools/ImageAndTextCell.h"
#include "PopWindow/PanelController.h"
#include "ProgressView/ProgressView.h"
#include "SetEraserLevel/DoDataBase.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "ToolCon/ButtonSetUp.h"
#include "ToolCon/TCImageButton.h"
#include "ToolCon/TextImageButton.h"
#include "WipeDisk/NTFSViewController.h"
#include "WipeDisk/StepProgressViewVC.h"
#include "WipeDisk/SystemEraserViewController.h"
#include "WipeDisk/VolumeGoneNotice.h"
#include "WipeDisk/WipeVolumeTableModel.h"
#include "WipeDisk/WipeVolumes.h"
#include "platform/Background.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/StartUp.h"
#include "platform/UserDefaults.h"
#include "platform/FileManagerReveal.h"
#include "ui_WipeDiskViewController.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QProgressBar>
#include <QScrollBar>

namespace {

const QStringList kMainButtonImages{"btn_main", "btn_main_press", "btn_main_press", "btn_main_disable"};
const QStringList kCancelImages{"btn_secl_normal", "btn_secl_hover", "btn_secl_hover", "btn_secl_disable"};
const QStringList kBackImages{"back", "back_press", "back_hover", "back_disable"};
const QString kHistoryFlag = QStringLiteral("WipeVolumeHistory");
const QString kErased = QStringLiteral("Erased");
const QString kFailed = QStringLiteral("Failed");
const QString kReformattedText = QStringLiteral(
    "The volume was reformatted, so its files are gone, but its free space was not overwritten: "
    "what they held may still be recoverable.");
constexpr int kShownX = 0;
constexpr int kParkedX = 730;
constexpr int kEndDelayMs = 2000;
constexpr int kQuitJoinMs = 15000;

int passesChosen()
{
    return std::max(1, platform::userDefaultInteger(kEraserTimesKey, 1));
}

}  // namespace

WipeDiskViewController::WipeDiskViewController(QWidget* parent, DoDataBase* store)
    : QWidget(parent), ui(std::make_unique<Ui::WipeDiskViewController>()),
      m_store(store ? store : &DoDataBase::returnDoDataBase())
{
    ui->setupUi(this);
    for (QWidget* page : {static_cast<QWidget*>(this), ui->mainView, ui->wipeDiskProgress, ui->wipeFreeSpaceProgressView,
                          ui->wipeHardNodeView, ui->wipeFreeSpaceNodeView})
        page->setAttribute(Qt::WA_StyledBackground);
    m_levelSlot = std::make_unique<SidePanelSlot>(ui->setEraserLevelView);
    m_historySlot = std::make_unique<SidePanelSlot>(ui->historyView);
    m_model = new WipeVolumeTableModel(&m_allVolumeArr, &m_selectVolumeObj, this);
    setUpTable();

    m_wipeDiskProgressBar = new ProgressView(ui->wipeDiskProgress);
    m_wipeFreeSpaceProgressBar = new ProgressView(ui->wipeFreeSpaceProgressView);
    for (ProgressView* bar : {m_wipeDiskProgressBar, m_wipeFreeSpaceProgressBar}) {
        bar->setGeometry(48, 102, 634, 16);
        bar->changeProgressValue(2);
    }
    m_eraserTimer.setInterval(1000);
    connect(&m_eraserTimer, &QTimer::timeout, this, &WipeDiskViewController::showProgressValue);
    setUpButtons();
    changeHistoryButtonState();

    m_watchMu = new WatchMountUnmount(this);
    m_watchMu->registerNotifications();
    for (const QString& name : {MCVolumeMountNotification, MCVolumeUnmountNotification})
        platform::NotificationCenter::defaultCenter().observe(this, name, [this](const QVariantMap&) { getallVolumes(); });
    // The first list is read once the window is up: the start never waits
    // on diskutil. Until then the screen counts as scanning, so a request
    // meanwhile is the pending scan.
    m_isScanV = true;
    ui->loadPro->show();
    platform::afterStartUp(this, [this] {
        m_isScanV = false;
        getallVolumes();
    });
}

WipeDiskViewController::~WipeDiskViewController()
{
    endAppRemoveFolder();
}

void WipeDiskViewController::setUpTable()
{
    CustomTableView* table = ui->parTableView;
    table->setModel(m_model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    // Each row's bar is 48 high (CustomTableView); a gap of 6 between them.
    table->verticalHeader()->setDefaultSectionSize(54);
    table->setShowGrid(false);
    table->setFont(FontCache::lightFont(12));
    applyDarkListPalette(table);
    auto* radio = new CheckButtonCell(table);
    radio->setDelegate(this);
    table->setItemDelegateForColumn(WipeVolumeTableModel::CheckBox, radio);
    // Text sizes and widths of each column's title.
    const struct { int column; qreal size; qreal width; } texts[] = {
        {WipeVolumeTableModel::Name, 14, 210},
        {WipeVolumeTableModel::Type, 12, 150},
        {WipeVolumeTableModel::TotalSize, 12, 151},
        {WipeVolumeTableModel::FreeSize, 12, 110},
    };
    for (const auto& t : texts) {
        auto* cell = new ImageAndTextCell(table);
        cell->setColor(Qt::white);
        cell->setTitle(QString(), t.size, t.width);
        cell->setOnlyEdit(t.column == WipeVolumeTableModel::TotalSize);
        table->setItemDelegateForColumn(t.column, cell);
    }
    // The list shows when it has the keyboard: a ring of the focus colour,
    // drawn in a border that is always there so no row moves when it shows.
    table->setStyleSheet(QStringLiteral("QTableView { background: transparent; border: 2px solid transparent; border-radius: 6px; }"
                                        "QTableView:focus { border-color: rgb(77,163,255); }"));
    table->viewport()->setAutoFillBackground(false);
    table->setupHeaderCell();
    connect(table, &QTableView::clicked, this, [this](const QModelIndex& index) { chooseRow(index.row(), true); });
    // Arrows and Space choose as the radio marks do, so a wipe needs no mouse.
    table->setFocusPolicy(Qt::StrongFocus);
    table->setTabKeyNavigation(false);  // Tab leaves the list for Wipe Now
    table->installEventFilter(this);
    reloadTable();
}

void WipeDiskViewController::reloadTable()
{
    m_model->reload();
    CustomTableView* table = ui->parTableView;
    // The name's text starts after its 36-wide icon.
    table->setColumnWidth(WipeVolumeTableModel::CheckBox, 56);
    table->setColumnWidth(WipeVolumeTableModel::Name, 36 + 210);
    table->setColumnWidth(WipeVolumeTableModel::Type, 150);
    table->setColumnWidth(WipeVolumeTableModel::TotalSize, 151);
    table->setColumnWidth(WipeVolumeTableModel::FreeSize, 110);
}

void WipeDiskViewController::setUpButtons()
{
    setUpTextButton(ui->wipeButton, kMainButtonImages, QStringLiteral("Wipe Now"), 16);
    ui->wipeButton->setButtonEnabled(false);
    setUpTextButton(ui->wipeDiskCancelBut, kCancelImages, QStringLiteral("Cancel"), 14);
    setUpTextButton(ui->wipeFreeSpaceCancelBut, kCancelImages, QStringLiteral("Cancel"), 14);
    for (TCImageButton* back : {ui->sussViewBackBut, ui->failViewBackBut})
        setUpImageButton(back, kBackImages);
    for (TextImageButton* ok : {ui->sussViewOkBut, ui->failViewOkBut})
        setUpTextButton(ok, kMainButtonImages, QStringLiteral("OK"), 16);
    setUpImageButton(ui->setButton, {"ic_set", "ic_set_press", "ic_set_hover", "ic_set"});
    setUpImageButton(ui->aboutButton, {"ic_support", "ic_support_press", "ic_support_hover", "ic_support"});

    // Queued: the dialogs it opens run a nested event loop, which must not
    // run inside the button's own mouse handler.
    connect(ui->wipeButton, &QAbstractButton::clicked, this, &WipeDiskViewController::wipeButtonAction,
            Qt::QueuedConnection);
    connect(ui->wipeDiskCancelBut, &QAbstractButton::clicked, this, &WipeDiskViewController::cancelWipeDiskButtonAction);
    connect(ui->wipeFreeSpaceCancelBut, &QAbstractButton::clicked, this,
            &WipeDiskViewController::cancelWipeFreeSpaceButtonAction);
    connect(ui->sussViewOkBut, &QAbstractButton::clicked, this, &WipeDiskViewController::sussEndBackToMainView);
    connect(ui->sussViewBackBut, &QAbstractButton::clicked, this, &WipeDiskViewController::sussEndBackToMainView);
    connect(ui->failViewOkBut, &QAbstractButton::clicked, this, &WipeDiskViewController::failEndBackToMainView);
    connect(ui->failViewBackBut, &QAbstractButton::clicked, this, &WipeDiskViewController::failEndBackToMainView);
    connect(ui->setButton, &QAbstractButton::clicked, this, &WipeDiskViewController::setButtonAction);
    connect(ui->historyButton, &QAbstractButton::clicked, this, &WipeDiskViewController::historyButtonAction);
    connect(ui->aboutButton, &QAbstractButton::clicked, this, &WipeDiskViewController::aboutButtonAction);
}

void WipeDiskViewController::slide(QWidget* page, int x, std::function<void()> done)
{
    SidePanelSlot::slidePage(page, x, this, std::move(done));
}

// ---- the list --------------------------------------------------------------

int WipeDiskViewController::requestScan()
{
    getallVolumes();
    return m_scanRequests;
}

void WipeDiskViewController::getallVolumes()
{
    ++m_scanRequests;
    if (m_isScanV) {
        // The scan under way may have read the volumes before this change:
        // one more follows it. The scan awaited at start reads them later.
        m_rescanWanted = m_rescanWanted || m_scanRunning;
        return;
    }
    m_isScanV = true;
    m_scanRunning = true;
    // The rows stay while the scan runs: every mount anywhere rescans, and a
    // list that empties and refills moves another volume under the pointer.
    ui->loadPro->show();
    const platform::DiskTool tool = m_tool;
    // Every request so far is older than what this scan reads.
    const int covers = m_scanRequests;
    platform::runInBackground(
        this, [tool] { return WipeVolumes::scan(tool); },
        [this, covers](const QList<VolumeObjPtr>& found) {
            m_scanRunning = false;
            // Its list is newer than the one on screen, so it goes on screen
            // even when a change came meanwhile: while volumes come and go
            // without a pause, dropping it would leave the list unread. The
            // scan that change asks for follows.
            // Where each volume's row is on screen before: a list that grows or
            // shrinks while scrolled to its end moves every visible row, and
            // a row that moved is not the one the pointer was aimed at.
            CustomTableView* table = ui->parTableView;
            QList<std::pair<VolumeObjPtr, int>> placesBefore;
            for (int row = 0; row < m_allVolumeArr.size(); ++row)
                placesBefore.append({m_allVolumeArr.at(row), table->rowViewportPosition(row)});
            const int scrolledTo = table->verticalScrollBar()->value();
            m_model->update(found, [](const VolumeObj& a, const VolumeObj& b) { return sameMedium(a, b, false); });
            ui->loadPro->hide();
            m_isScanV = false;
            // A run keeps its volume whatever the new list holds.
            if (!m_isBegin && !isRunning())
                selectVolumeButton();
            reloadTable();
            table->doItemsLayout();
            // The scroll position stays where the user left it, as far as the new list reaches.
            table->verticalScrollBar()->setValue(scrolledTo);
            for (int row = 0; row < m_allVolumeArr.size(); ++row) {
                for (const auto& [old, y] : placesBefore) {
                    if (old == m_allVolumeArr.at(row) || sameMedium(*old, *m_allVolumeArr.at(row), false)) {
                        if (y != table->rowViewportPosition(row))
                            m_model->markMoved(row);
                        break;
                    }
                }
            }
            m_scanCovered = std::max(m_scanCovered, covers);
            const QPointer<WipeDiskViewController> alive(this);
            emit scanEnded();
            if (alive && m_rescanWanted) {
                m_rescanWanted = false;
                getallVolumes();
            }
        });
}

void WipeDiskViewController::selectVolumeButton(int row)
{
    if (isRunning())
        return;
    int index = row;
    if (index < 0) {
        // After a rescan the volume chosen before is chosen again by its
        // device, wherever its row is now; a name or a row number is no identity.
        for (int i = 0; i < m_allVolumeArr.size() && index < 0; ++i)
            if (m_selectMedium && sameMedium(*m_allVolumeArr.at(i), *m_selectMedium, false))
                index = i;
    }
    if (index >= 0 && index < m_allVolumeArr.size()) {
        m_selectVolumeObj = m_allVolumeArr.at(index);
        m_selectIndex = index;
        m_selectMedium = m_selectVolumeObj;
        ui->parTableView->setRowNum(index);
        ui->wipeButton->setButtonEnabled(true);
    } else {
        // A volume that is gone leaves nothing chosen: the row it had may
        // now be another volume's, which the user never chose.
        m_selectVolumeObj.reset();
        ui->parTableView->setRowNum(-1);
        ui->wipeButton->setButtonEnabled(false);
    }
    reloadTable();
    // Shown when the user chose it; a rescan choosing it again leaves the
    // list where the user scrolled it.
    if (m_selectVolumeObj && row >= 0) {
        ui->parTableView->doItemsLayout();  // the scroll range of the new rows
        ui->parTableView->scrollTo(m_model->index(index, WipeVolumeTableModel::Name));
    }
}

void WipeDiskViewController::clearChoice()
{
    m_selectVolumeObj.reset();
    m_selectMedium.reset();
    m_selectIndex = -1;
    ui->parTableView->setRowNum(-1);
    ui->wipeButton->setButtonEnabled(false);
    reloadTable();
}

void WipeDiskViewController::clickButtonAction(CheckButtonCell*, const QModelIndex& index)
{
    chooseRow(index.row(), true);
}

bool WipeDiskViewController::chooseRow(int row, bool byPointer)
{
    if (isRunning() || row < 0 || row >= m_allVolumeArr.size())
        return false;
    if (byPointer && m_model->changedRecently(row))
        return false;
    m_selectIndex = row;
    ui->parTableView->setSelectNum(row);
    selectVolumeButton(row);
    return true;
}

bool WipeDiskViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != ui->parTableView || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    const int rows = int(m_allVolumeArr.size());
    const int at = m_selectVolumeObj ? m_selectIndex : -1;
    int row = -1;
    switch (key->key()) {
    case Qt::Key_Up: row = at < 0 ? rows - 1 : std::max(0, at - 1); break;
    case Qt::Key_Down: row = at < 0 ? 0 : std::min(rows - 1, at + 1); break;
    case Qt::Key_Home: row = 0; break;
    case Qt::Key_End: row = rows - 1; break;
    case Qt::Key_Space: {
        const int current = ui->parTableView->currentIndex().row();
        row = at >= 0 ? at : current >= 0 ? current : 0;
        break;
    }
    default: return false;
    }
    if (row >= 0 && chooseRow(row, false))
        ui->parTableView->setCurrentIndex(m_model->index(row, WipeVolumeTableModel::Name));
    return true;
}

bool WipeDiskViewController::selectDevice(const QString& deviceNode)
{
    for (int row = 0; row < m_allVolumeArr.size(); ++row) {
        if (m_allVolumeArr.at(row)->volumePath == deviceNode) {
            m_selectIndex = row;
            ui->parTableView->setSelectNum(row);
            selectVolumeButton(row);
            return true;
        }
    }
    return false;
}

void WipeDiskViewController::changeFormatOrFreeSpaceView(int type)
{
    if (isRunning())
        return;  // the navigation is locked; a run keeps its mode to its end
    m_selectEraserType = type == 1 ? WipeRun::WholeDrive : WipeRun::FreeSpace;
    // A volume chosen for one tool is not carried into the other.
    clearChoice();
    ui->wipeHardNodeView->setVisible(m_selectEraserType == WipeRun::WholeDrive);
    ui->wipeFreeSpaceNodeView->setVisible(m_selectEraserType == WipeRun::FreeSpace);
    ui->mainView->show();
    for (QWidget* page : {static_cast<QWidget*>(ui->wipeFailView), static_cast<QWidget*>(ui->wipeSussView),
                          ui->historyView, ui->setEraserLevelView})
        slide(page, kParkedX, [page] { page->hide(); });
}

// ---- the run ---------------------------------------------------------------

void WipeDiskViewController::showSystemNotice()
{
    runModalPanel(new SystemEraserViewController, window());
}

bool WipeDiskViewController::stillChosen(const VolumeObjPtr& confirmed) const
{
    return confirmed && m_selectVolumeObj && sameMedium(*confirmed, *m_selectVolumeObj);
}

bool WipeDiskViewController::sameMedium(const VolumeObj& a, const VolumeObj& b, bool sameFileSystem)
{
    if (a.volumePath != b.volumePath)
        return false;
    if (a.diskSequence != 0 && b.diskSequence != 0 && a.diskSequence != b.diskSequence)
        return false;
    return !sameFileSystem || a.fileSystemUUID.isEmpty() || b.fileSystemUUID.isEmpty() ||
           a.fileSystemUUID.compare(b.fileSystemUUID, Qt::CaseInsensitive) == 0;
}

void WipeDiskViewController::showGoneNotice()
{
    clearChoice();
    runModalPanel(new VolumeGoneNotice, window());
}

void WipeDiskViewController::prepareStepIndicator(QWidget* panel, const QString& l1, const QString& l2, const QString& l3)
{
    delete m_stepProVC;
    m_stepProVC = new StepProgressViewVC(panel);
    m_stepProVC->move(0, 390);
    m_stepProVC->setLabelString(l1, l2, l3);
    m_stepProVC->runProgressStep(1);
    m_stepProVC->show();
}

void WipeDiskViewController::wipeButtonAction()
{
    if (isRunning() || !m_selectVolumeObj)
        return;
    if (m_selectEraserType == WipeRun::WholeDrive) {
        // Asked afresh: what the list showed may have changed since.
        const std::optional<QVariantMap> info = WipeVolumes::getDisjInfo(m_tool, m_selectVolumeObj->volumePath);
        if (WipeVolumes::isSystemMountPoint(m_selectVolumeObj->volumeMountPoint) ||
            (info && WipeVolumes::isSystemVolume(*info))) {
            clearChoice();  // refused: not left chosen for the next press or the other tool
            showSystemNotice();
            return;
        }
        ui->wipeDiskCancelBut->setButtonEnabled(false);
        ui->wipeDiskProgress->move(kParkedX, 0);
        ui->wipeDiskProgress->show();
        ui->wipeDiskProgress->raise();
        m_confirming = m_selectVolumeObj;
        auto* confirm = new MakeSureWipeDiskViewController;
        confirm->setDelegate(this);
        confirm->setVolume(m_confirming->volumeName, m_confirming->volumePath);
        runModalPanel(confirm, window());
        m_confirming.reset();
        return;
    }
    if (m_selectEraserType == WipeRun::FreeSpace) {
        if (m_selectVolumeObj->volumeType.contains(QLatin1String("ntfs"), Qt::CaseInsensitive)) {
            clearChoice();
            runModalPanel(new NTFSViewController, window());
            return;
        }
        prepareStepIndicator(ui->wipeFreeSpaceProgressView, QStringLiteral("Get Free Space"), QStringLiteral("Wipe Free Space"),
                             QStringLiteral("Complete"));
        ui->fRaserPathLabel->clear();
        ui->wipeFreeSpaceCancelBut->setButtonEnabled(true);
        ui->fEraserTypeLabel->setText(PublicUtilities::getEraserTimes());
        ui->fEraserDiskNameLabel->setTextFormat(Qt::PlainText);
        ui->fEraserDiskNameLabel->setText(m_selectVolumeObj->volumeName);
        ui->fCancelLabel->hide();
        ui->wipeFreeSpaceProgressView->move(kParkedX, 0);
        ui->wipeFreeSpaceProgressView->show();
        ui->wipeFreeSpaceProgressView->raise();
        m_confirming = m_selectVolumeObj;
        auto* confirm = new MakeSureWipeFreeSpaceViewController;
        confirm->setDelegate(this);
        confirm->setVolume(m_confirming->volumeName, m_confirming->volumePath);
        runModalPanel(confirm, window());
        m_confirming.reset();
        return;
    }
    platform::log(QStringLiteral("no select type"));
}

void WipeDiskViewController::makeSureToWipeSelectVolume()
{
    if (m_confirming && !stillChosen(m_confirming)) {
        QTimer::singleShot(0, this, &WipeDiskViewController::showGoneNotice);
        return;
    }
    if (isRunning() || !m_selectVolumeObj)
        return;  // one confirmation, one run
    // A rescan while the dialog was up may have taken the volume away.
    prepareStepIndicator(ui->wipeDiskProgress, QStringLiteral("Format"), QStringLiteral("Wipe Data"), QStringLiteral("Complete"));
    setEraserTime();
    m_isBegin = true;
    ui->sEraserTypeLabel->setText(PublicUtilities::getEraserTimes());
    ui->sEraserDiskNameLabel->setTextFormat(Qt::PlainText);
    ui->sEraserDiskNameLabel->setText(m_selectVolumeObj->volumeName);
    ui->sCancelLabel->hide();
    if (m_superDelegate)
        m_superDelegate->canChangeType(false);
    ui->wipeDiskProgress->show();
    ui->wipeDiskProgress->raise();
    slide(ui->wipeDiskProgress, kShownX, [this] { ui->mainView->hide(); });
    setEndView(false);
    startRun(WipeRun::WholeDrive);
}

void WipeDiskViewController::makeSureToWipeFreeSpaceSelectVolume()
{
    if (m_confirming && !stillChosen(m_confirming)) {
        QTimer::singleShot(0, this, &WipeDiskViewController::showGoneNotice);
        return;
    }
    if (isRunning() || !m_selectVolumeObj)
        return;
    setEraserTime();  // the clock counts the run, not the time spent confirming
    if (m_superDelegate)
        m_superDelegate->canChangeType(false);
    ui->wipeFreeSpaceProgressView->show();
    ui->wipeFreeSpaceProgressView->raise();
    slide(ui->wipeFreeSpaceProgressView, kShownX, [this] { ui->mainView->hide(); });
    setEndView(false);
    startRun(WipeRun::FreeSpace);
}

ProgressView* WipeDiskViewController::currentBar() const
{
    return m_selectEraserType == WipeRun::WholeDrive ? m_wipeDiskProgressBar : m_wipeFreeSpaceProgressBar;
}

void WipeDiskViewController::setRoundLabel(const QString& text)
{
    (m_selectEraserType == WipeRun::WholeDrive ? ui->sEraserRoundLabel : ui->fEraserRoundLabel)->setText(text);
}

void WipeDiskViewController::startRun(WipeRun::Mode mode)
{
    m_isCancelEraser = false;
    m_errorString.clear();
    m_ended = false;
    m_passesEnded = 0;
    m_run = std::make_unique<WipeRun>(m_selectVolumeObj, mode, passesChosen());
    m_run->setDiskTool(m_tool);
    m_run->setSrmPath(m_srmPath);
    connect(m_run.get(), &WipeRun::fillStarted, this, &WipeDiskViewController::doFreeSpaceAction);
    // The list is read again once the erase has ended. No timed second scan
    // follows: the volume is found again by its device in one lookup, and
    // the mount watcher rescans on every mount and unmount after that.
    connect(m_run.get(), &WipeRun::erasedVolume, this, &WipeDiskViewController::getallVolumes);
    connect(m_run.get(), &WipeRun::progressed, this, [this](float value, int pass, int passes) {
        currentBar()->changeProgressValue(value);
        setRoundLabel(QString::asprintf("Wiped %.2f%% in %d of %d ", double(value), pass, passes) +
                      (passes < 2 ? QStringLiteral("pass") : QStringLiteral("passes")));
    });
    connect(m_run.get(), &WipeRun::passEnded, this, [this](int pass, int passes) {
        m_passesEnded = std::max(m_passesEnded, pass);
        currentBar()->changeProgressValue(100);
        setRoundLabel(QStringLiteral("Wiped 100% in %1 of %2 %3")
                          .arg(pass)
                          .arg(passes)
                          .arg(passes < 2 ? QStringLiteral("pass") : QStringLiteral("passes")));
    });
    connect(m_run.get(), &WipeRun::finished, this, [this] {
        m_lastFillMountPoint = m_run->fillMountPoint();
        QTimer::singleShot(kEndDelayMs, this, &WipeDiskViewController::showComplite);
    });
    m_run->start();
}

void WipeDiskViewController::doFreeSpaceAction()
{
    // The erase is behind; from here on the run can be cancelled.
    (m_selectEraserType == WipeRun::WholeDrive ? ui->wipeDiskCancelBut : ui->wipeFreeSpaceCancelBut)
        ->setButtonEnabled(!m_isCancelEraser);
    if (m_stepProVC)
        m_stepProVC->runProgressStep(2);
}

void WipeDiskViewController::cancelWipeDiskButtonAction()
{
    if (!isRunning())
        return;
    ui->sCancelLabel->show();
    ui->wipeDiskCancelBut->setButtonEnabled(false);
    m_isCancelEraser = true;
    m_run->cancel();
}

void WipeDiskViewController::cancelWipeFreeSpaceButtonAction()
{
    if (!isRunning())
        return;
    ui->fCancelLabel->show();
    ui->wipeFreeSpaceCancelBut->setButtonEnabled(false);
    m_isCancelEraser = true;
    m_run->cancel();
}

void WipeDiskViewController::showComplite()
{
    if (!m_run || m_ended)
        return;
    m_isBegin = false;
    const FillResult& result = m_run->result();
    if (result.outcome == FillResult::Outcome::Cancelled) {
        m_errorString = FreeSpaceFill::kCancelledText;
    } else {
        if (result.outcome == FillResult::Outcome::Failed)
            m_errorString = result.reason.isEmpty() ? QStringLiteral("The wipe failed.") : result.reason;
        if (m_stepProVC)
            m_stepProVC->runProgressStep(3);
    }
    showEndEraser();
}

void WipeDiskViewController::showEndEraser()
{
    stopEraserTimer();
    if (m_superDelegate)
        m_superDelegate->canChangeType(true);
    const bool freeSpace = m_selectEraserType == WipeRun::FreeSpace;
    QWidget* progress = freeSpace ? ui->wipeFreeSpaceProgressView : ui->wipeDiskProgress;
    QWidget* page = ui->wipeSussView;
    if (!m_errorString.isEmpty()) {
        const bool cancelled = m_run && m_run->result().outcome == FillResult::Outcome::Cancelled;
        ui->failNodeLabel->setVisible(cancelled);
        QString reason = cancelled ? QString() : m_errorString;
        const int passes = m_run ? m_run->passes() : 0;
        if (m_run && m_run->erased() && m_passesEnded > 0) {
            // Whole passes went over all of the free space: say so, not that nothing was.
            const QString done = QStringLiteral("The volume was reformatted and its free space was overwritten in %1 of %2 %3 "
                                                "before the wipe stopped.")
                                     .arg(m_passesEnded)
                                     .arg(passes)
                                     .arg(passes < 2 ? QStringLiteral("pass") : QStringLiteral("passes"));
            reason = reason.isEmpty() ? done : done + QLatin1Char('\n') + reason;
        } else if (m_run && m_run->erased()) {
            // The erase cannot be undone: the files are gone, their data is not.
            reason = reason.isEmpty() ? kReformattedText : kReformattedText + QLatin1Char('\n') + reason;
        } else if (m_passesEnded > 0) {
            const QString done = QStringLiteral("%1 of %2 %3 over the free space ended before the wipe stopped.")
                                     .arg(m_passesEnded)
                                     .arg(passes)
                                     .arg(passes < 2 ? QStringLiteral("pass") : QStringLiteral("passes"));
            reason = reason.isEmpty() ? done : done + QLatin1Char('\n') + reason;
        }
        ui->failReasonLabel->setTextFormat(Qt::PlainText);
        ui->failReasonLabel->setText(reason);
        page = ui->wipeFailView;
        m_lastResult = kFailed;
    } else {
        QString message = freeSpace ? QStringLiteral("You have successfully wiped free disk space of the selected hard drive/device.")
                                    : QStringLiteral("You have successfully wiped the selected hard drive/device.");
        // What the fill could not reach is said, not passed over.
        if (m_run && m_run->result().unreached > 0)
            message += QStringLiteral("\n%1 bytes of free space stayed out of the fill's reach and may still hold old data.")
                           .arg(m_run->result().unreached);
        ui->successfulMessageLable->setText(message);
        m_lastResult = kErased;
    }
    page->show();
    page->raise();
    slide(page, kShownX, [progress] {
        progress->hide();
        progress->move(kParkedX, 0);
    });

    const VolumeObjPtr volume = m_run ? m_run->volume() : m_selectVolumeObj;
    const QString named = volume ? QStringLiteral("\u201C%1\u201D (%2)").arg(volume->volumeName, volume->volumePath) : QString();
    ui->wipeSussVolumeLabel->setText(named);
    ui->wipeFailVolumeLabel->setText(named);
    if (!recordRun(m_lastResult, freeSpace, volume))
        PublicUtilities::showHistoryNotRecorded(window(),
                                                QStringLiteral("The wipe could not be recorded in the history."));

    for (ProgressView* bar : {m_wipeDiskProgressBar, m_wipeFreeSpaceProgressBar})
        bar->changeProgressValue(0);
    ui->sEraserRoundLabel->setText(QStringLiteral(" "));
    ui->fEraserRoundLabel->setText(QStringLiteral(" "));
    m_ended = true;
    emit runEnded();
}

QString WipeDiskViewController::failPageReason() const
{
    return ui->failReasonLabel->text();
}

bool WipeDiskViewController::recordRun(const QString& result, bool freeSpace, const VolumeObjPtr& volume)
{
    // The name is a label only; the device says which volume it was.
    const QString name = volume ? QStringLiteral("%1 (%2)").arg(volume->volumeName, volume->volumePath) : QString();
    if (!m_store->writeWipeVolumesOrFree(name, result, freeSpace)) {
        platform::log(QStringLiteral("The wipe of %1 could not be recorded in the history").arg(name));
        return false;
    }
    // The history button tells of a new run only when one was written.
    PublicUtilities::writeUpDataHistoryStr(kHistoryFlag, QStringLiteral("1"));
    changeHistoryButtonState();
    return true;
}

void WipeDiskViewController::setEndView(bool hidden)
{
    for (QWidget* page : {static_cast<QWidget*>(ui->wipeSussView), static_cast<QWidget*>(ui->wipeFailView)}) {
        page->move(kParkedX, 0);
        page->setHidden(hidden);
    }
}

void WipeDiskViewController::leaveEndPage(QWidget* page)
{
    if (isRunning())
        return;
    m_run.reset();
    ui->mainView->show();
    ui->mainView->move(0, 0);
    slide(page, 736, [page] {
        page->move(kParkedX, 0);
        page->hide();
    });
    m_selectVolumeObj.reset();
    getallVolumes();
}

void WipeDiskViewController::sussEndBackToMainView()
{
    leaveEndPage(ui->wipeSussView);
}

void WipeDiskViewController::failEndBackToMainView()
{
    leaveEndPage(ui->wipeFailView);
}

void WipeDiskViewController::endAppRemoveFolder()
{
    QString device = m_selectVolumeObj ? m_selectVolumeObj->volumePath : QString();
    QString mountPoint = m_lastFillMountPoint;
    if (m_run) {
        device = m_run->volume()->volumePath;
        if (!m_run->stopAndJoin(kQuitJoinMs))
            platform::log(QStringLiteral("The fill of %1 did not stop in time").arg(device));
        if (!m_run->fillMountPoint().isEmpty())
            mountPoint = m_run->fillMountPoint();
        if (!m_ended) {
            // Quitting ends the run as a cancel does, and what it did is
            // recorded: the run did not wipe what it was asked to.
            m_ended = true;
            m_isBegin = false;
            stopEraserTimer();
            recordRun(kFailed, m_run->mode() == WipeRun::FreeSpace, m_run->volume());
        }
    }
    if (!mountPoint.isEmpty())
        FreeSpaceFill::removeFolderAt(device, mountPoint);
}

// ---- the clock -------------------------------------------------------------

QString WipeDiskViewController::clockText(int seconds)
{
    const int hours = seconds / 3600;
    const int minutes = seconds / 60 % 60;
    const int secs = seconds % 60;
    return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QLatin1Char('0')).arg(secs, 2, 10, QLatin1Char('0'));
}

void WipeDiskViewController::setEraserTime()
{
    m_eraserTimeR = 0;
    m_eraserTimer.start();
    showProgressValue();
}

void WipeDiskViewController::stopEraserTimer()
{
    m_eraserTimer.stop();
}

void WipeDiskViewController::showProgressValue()
{
    ++m_eraserTimeR;
    (m_selectEraserType == WipeRun::WholeDrive ? ui->sRaserPathLabel : ui->fRaserPathLabel)->setText(clockText(m_eraserTimeR));
}

// ---- side panels -----------------------------------------------------------

void WipeDiskViewController::changeHistoryButtonState()
{
    const bool fresh = PublicUtilities::getUpDataHistoryStr(kHistoryFlag).toInt() != 0;
    const QString name = fresh ? QStringLiteral("ic_history") : QStringLiteral("ic_history_none");
    setUpImageButton(ui->historyButton, {name, name, name, name});
}

void WipeDiskViewController::setButtonAction()
{
    SetEraserLevelVC::presentIn(*m_levelSlot, this);
}

void WipeDiskViewController::closeSetEraserLevelView()
{
    m_levelSlot->dismiss();
}

void WipeDiskViewController::historyButtonAction()
{
    PublicUtilities::writeUpDataHistoryStr(kHistoryFlag, QStringLiteral("0"));
    changeHistoryButtonState();
    HistoryViewController::presentIn(*m_historySlot, this, QStringLiteral("WipeVolume"), m_store);
}

void WipeDiskViewController::closeHistoryView()
{
    m_historySlot->dismiss();
}

void WipeDiskViewController::aboutButtonAction()
{
    const QString url = EULinkUrl::GetUrl(QStringLiteral("SupportTeam"));
    if (!url.isEmpty())
        platform::openAsInvokingUser(url);
}
