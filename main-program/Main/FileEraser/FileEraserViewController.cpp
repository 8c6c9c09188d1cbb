#include "Main/FileEraser/FileEraserViewController.h"

#include "Comm/CommUti.h"
#include "Comm/EULinkUrl.h"
#include "Comm/FontCache.h"
#include "Comm/PublicUtilities.h"
#include "Main/FileEraser/Engine/FolderExpansion.h"
#include "Main/FileEraser/Engine/VolumeLogLine.h"
#include "PopWindow/AttachedGeometry.h"
#include "PopWindow/FocusReturn.h"
#include "PopWindow/PanelController.h"
#include "Main/FileEraser/FileEraserOpenPanel.h"
#include "Main/FileEraser/FileEraserTableModel.h"
#include "Main/FileEraser/SystemItemViewController.h"
#include "Main/Tools/ImageAndTextCell.h"
#include "Main/Tools/ListKeys.h"
#include "ProgressView/ActivityAnimation.h"
#include "ProgressView/ProgressView.h"
#include "SetEraserLevel/DoDataBase.h"
#include "ToolCon/ButtonSetUp.h"
#include "ToolCon/DarkLook.h"
#include "ToolCon/TCImageButton.h"
#include "ToolCon/TextIconImageBtton.h"
#include "ToolCon/TextImageButton.h"
#include "WipeDisk/NTFSViewController.h"
#include "platform/Background.h"
#include "platform/FileManagerReveal.h"
#include "platform/ImageStore.h"
#include "platform/InvokingUser.h"
#include "platform/Log.h"
#include "platform/SettingsFile.h"
#include "ui_FileEraserViewController.h"

#include <QDialog>
#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

#include <sys/stat.h>

bool FileEraserViewController::s_isOpen = false;

namespace {

const QStringList kMainButtonImages{"btn_main", "btn_main_press", "btn_main_press", "btn_main_disable"};
const QStringList kSmallButtonImages{"btn_s_normal", "btn_s_normal", "btn_s_hover", "btn_s_disable"};
const QStringList kBackImages{"back", "back_press", "back_hover", "back_disable"};

// The user whose folders the open panel shows: the invoking user; the name
// the launcher stored only when the process does not tell.
platform::InvokingUser desktopUser()
{
    return platform::desktopUser(platform::SettingsFile::shared().value(QStringLiteral("USERNAME")).toString());
}

}  // namespace

FileEraserViewController::FileEraserViewController(QWidget* parent, DoDataBase* store)
    : QWidget(parent), ui(std::make_unique<Ui::FileEraserViewController>()),
      m_store(store ? store : &DoDataBase::returnDoDataBase())
{
    ui->setupUi(this);
    for (QWidget* page : {static_cast<QWidget*>(this), ui->mainView, ui->listView, ui->progressView})
        page->setAttribute(Qt::WA_StyledBackground);
    m_model = new FileEraserTableModel(&m_list, this);
    setUpTable();
    m_levelSlot = std::make_unique<SidePanelSlot>(ui->setEraserLevelView);
    m_historySlot = std::make_unique<SidePanelSlot>(ui->historyView);

    ui->drayView->setDelegate(this);
    ui->listDragView->setDelegate(this);
    ui->progressBar->changeProgressValue(2);
    ActivityAnimation::attach(ui->progressImageView);
    // The path of the file being erased is the user's name: never markup.
    ui->eraserPathLabel->setTextFormat(Qt::PlainText);

    m_eraserTimer.setInterval(1000);
    connect(&m_eraserTimer, &QTimer::timeout, this, &FileEraserViewController::showProgressValue);
    m_eraserBigTimer.setInterval(10000);
    connect(&m_eraserBigTimer, &QTimer::timeout, this, &FileEraserViewController::showEraserBigFileNode);

    connect(&m_sortDropDown, &AttachedDropDown::closed, this, [this] {
        m_fileEraserSortVC = nullptr;
        if (m_sortByKeys) {
            m_sortByKeys = false;
            qApp->removeEventFilter(this);
            // However it closed, the keyboard is back on the sort button.
            FocusReturn::giveBack(ui->sortButton, window());
        }
    });
    // However the program is left during a run, the run is cancelled and recorded first.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &FileEraserViewController::finishBeforeQuit);
    setUpButtons();
    changeHistoryButtonState();
    changeSelectAllButtonState();
}

FileEraserViewController::~FileEraserViewController() = default;

void FileEraserViewController::setUpTable()
{
    CustomTableView* table = ui->valueTableView;
    table->setModel(m_model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAcceptDrops(false);
    table->verticalHeader()->hide();
    table->setShowGrid(false);
    table->setListDelegate(this);
    table->setFont(FontCache::lightFont(12));
    applyDarkListPalette(table);

    auto* check = new CheckButtonCell(table);
    check->setDelegate(this);
    table->setItemDelegateForColumn(FileEraserTableModel::CheckBox, check);
    for (int column : {FileEraserTableModel::Search, FileEraserTableModel::Name, FileEraserTableModel::Path, FileEraserTableModel::Size,
                       FileEraserTableModel::Type}) {
        auto* cell = new ImageAndTextCell(table);
        cell->setColor(Qt::white);
        cell->setTextCentred(true);
        table->setItemDelegateForColumn(column, cell);
    }
    table->setStyleSheet(QStringLiteral("QTableView { background: transparent; border: none; }"));
    table->viewport()->setAutoFillBackground(false);
    table->setupHeaderCell();
    applyColumnWidths();
    // By keys: Space ticks the focused row, Return highlights it as a
    // click does, the menu key opens its context menu.
    ListKeys::Actions keys;
    keys.toggle = [this](int row) { selectListButton(row); };
    keys.activate = [this](int row) {
        ui->valueTableView->setSelectNum(row);
        reloadTable();
    };
    keys.contextMenu = [this](int, const QRect& rowRect) { listContextMenu(rowRect.center()); };
    keys.ringRect = [table](int row) { return QRect(20, table->rowViewportPosition(row), 690, 48); };
    ListKeys::install(table, keys);
    connect(table, &QTableView::clicked, this, [this](const QModelIndex& index) {
        ui->valueTableView->setSelectNum(index.row());
        reloadTable();
        if (index.column() == FileEraserTableModel::Search)
            openFileButton();
    });
}

void FileEraserViewController::applyColumnWidths()
{
    // A reset of the model puts the header back to its defaults.
    CustomTableView* table = ui->valueTableView;
    table->setColumnWidth(FileEraserTableModel::CheckBox, 40);
    table->setColumnWidth(FileEraserTableModel::Search, 30);
    table->setColumnWidth(FileEraserTableModel::Name, 150);
    table->setColumnWidth(FileEraserTableModel::Path, 287);
    table->setColumnWidth(FileEraserTableModel::Size, 100);
    table->setColumnWidth(FileEraserTableModel::Type, 100);
}

void FileEraserViewController::clickButtonAction(CheckButtonCell*, const QModelIndex& index)
{
    selectListButton(index.row());
}

void FileEraserViewController::listRightMouseDown(QMouseEvent* event)
{
    // The view hands on the press as its viewport received it: the point is
    // already the viewport's.
    listContextMenu(event->position().toPoint());
}

void FileEraserViewController::setUpButtons()
{
    setUpTextButton(ui->mainAddButton, kMainButtonImages, QStringLiteral("Add"), 16);
    setUpImageButton(ui->listAddButton, {"btn_b_normal", "btn_b_hover", "btn_b_hover", "btn_b_normal"});
    ui->listAddButton->setTextWithName(QStringLiteral("Add More"), 12);
    setUpTextButton(ui->emptyButton, kSmallButtonImages, QStringLiteral("Empty List"), 12);
    setUpTextButton(ui->selectAllButton, kSmallButtonImages, QStringLiteral("Unselect all"), 12);
    setUpTextButton(ui->eraserFileButton, kMainButtonImages, QStringLiteral("Erase Now"), 16);
    setUpImageButton(ui->sortButton, {"sortby", "sortby_press", "sortby_hover", "sortby"});
    setUpImageButton(ui->backButton, kBackImages);
    setUpImageButton(ui->setButton, {"ic_set", "ic_set_press", "ic_set_hover", "ic_set"});
    setUpImageButton(ui->aboutButton, {"ic_support", "ic_support_press", "ic_support_hover", "ic_support"});
    setUpTextButton(ui->cancelEraserButton, {"btn_secl_normal", "btn_secl_hover", "btn_secl_hover", "btn_secl_disable"},
                    QStringLiteral("Cancel"), 14);
    for (TCImageButton* back : {ui->sussBackButton, ui->failBackButton})
        setUpImageButton(back, kBackImages);
    for (TextImageButton* ok : {ui->sussOkButton, ui->failOkButton})
        setUpTextButton(ok, kMainButtonImages, QStringLiteral("OK"), 16);

    // The picture buttons have no label: assistive technology gets their word.
    const QList<QPair<QWidget*, QString>> pictureNames{
        {ui->backButton, QStringLiteral("Back")},           {ui->sussBackButton, QStringLiteral("Back")},
        {ui->failBackButton, QStringLiteral("Back")},       {ui->sortButton, QStringLiteral("Sort by")},
        {ui->setButton, QStringLiteral("Erasure Method")}, {ui->historyButton, QStringLiteral("Erasure History")},
        {ui->aboutButton, QStringLiteral("Support")},
    };
    for (const auto& [button, name] : pictureNames)
        button->setAccessibleName(name);

    // Add has a key too, whichever of its two buttons the screen shows.
    auto* addKey = new QAction(QStringLiteral("Add"), this);
    addKey->setShortcut(QKeySequence(QString::fromLatin1(kAddShortcut)));
    addKey->setShortcutContext(Qt::WindowShortcut);
    addAction(addKey);
    connect(addKey, &QAction::triggered, this, [this] {
        for (FourStateImageButton* add : {static_cast<FourStateImageButton*>(ui->mainAddButton),
                                          static_cast<FourStateImageButton*>(ui->listAddButton)})
            if (add->isVisible() && add->buttonEnabled() && !add->visibleRegion().isEmpty()) {
                add->setFocus(Qt::TabFocusReason);
                add->click();
                return;
            }
    });
    for (QWidget* add : {static_cast<QWidget*>(ui->mainAddButton), static_cast<QWidget*>(ui->listAddButton)})
        add->setToolTip(QStringLiteral("Add files and folders (%1)")
                            .arg(QKeySequence(QString::fromLatin1(kAddShortcut)).toString(QKeySequence::NativeText)));
    connect(ui->mainAddButton, &QAbstractButton::clicked, this, &FileEraserViewController::selectFileButtonAction);
    connect(ui->listAddButton, &QAbstractButton::clicked, this, &FileEraserViewController::selectFileButtonAction);
    connect(ui->emptyButton, &QAbstractButton::clicked, this, &FileEraserViewController::emptyListButtonAction);
    connect(ui->backButton, &QAbstractButton::clicked, this, &FileEraserViewController::emptyListButtonAction);
    connect(ui->selectAllButton, &QAbstractButton::clicked, this, &FileEraserViewController::setAllSelectOrNoSelect);
    connect(ui->eraserFileButton, &QAbstractButton::clicked, this, &FileEraserViewController::eraserNowButtonAction);
    connect(ui->sortButton, &QAbstractButton::clicked, this, &FileEraserViewController::sortButtonAction);
    connect(ui->cancelEraserButton, &QAbstractButton::clicked, this, &FileEraserViewController::cancelShred);
    connect(ui->sussBackButton, &QAbstractButton::clicked, this, &FileEraserViewController::sussEndBackToMainView);
    connect(ui->sussOkButton, &QAbstractButton::clicked, this, &FileEraserViewController::sussEndBackToMainView);
    connect(ui->failBackButton, &QAbstractButton::clicked, this, &FileEraserViewController::failEndBackToMainView);
    connect(ui->failOkButton, &QAbstractButton::clicked, this, &FileEraserViewController::failEndBackToMainView);
    connect(ui->setButton, &QAbstractButton::clicked, this, &FileEraserViewController::setButtonAction);
    connect(ui->historyButton, &QAbstractButton::clicked, this, &FileEraserViewController::historyButtonAction);
    connect(ui->aboutButton, &QAbstractButton::clicked, this, &FileEraserViewController::aboutButtonAction);
}

void FileEraserViewController::slide(QWidget* page, int x, std::function<void()> done)
{
    SidePanelSlot::slidePage(page, x, this, std::move(done));
}

// ---- list side -------------------------------------------------------------

void FileEraserViewController::selectFileButtonAction()
{
    if (m_panel)
        return;
    auto* panel = new FileEraserOpenPanel(window());
    m_panel = panel;
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    QString start = m_newPathStr.size() > 1 ? m_newPathStr : desktopUser().home + QStringLiteral("/Desktop");
    if (!QFileInfo(start).isDir())
        start = desktopUser().home;
    connect(panel, &FileEraserOpenPanel::didChangeToDirectory, this, &FileEraserViewController::panelDidChangeToDirectory);
    const FocusReturn::Keeper opener(window());
    connect(panel, &QDialog::finished, this, [this, panel, opener](int result) {
        if (result == QDialog::Accepted) {
            const QStringList chosen = panel->selectedPaths();
            if (!chosen.isEmpty()) {
                platform::log(QStringLiteral("=======:::: |%1|").arg(chosen.first()));
                platform::log(volumeLogLine(chosen.first()));
            }
            addChosenPaths(chosen);
        }
        // The first page's Add leaves with its page: the list's Add takes over.
        QWidget* back = opener.opener();
        if (back == ui->mainAddButton && !ui->listView->isHidden())
            back = ui->listAddButton;
        FocusReturn::giveBack(back, window());
    });
    panel->setDirectory(start);
    panel->open();
}

void FileEraserViewController::panelDidChangeToDirectory(const QString& path)
{
    if (s_isOpen)
        return;
    const platform::InvokingUser user = desktopUser();
    platform::log(QStringLiteral("userName====:%1").arg(user.name));
    platform::log(QStringLiteral("diyici  ====:%1").arg(path));
    if (user.uid == 0)
        return;  // the desktop user is root: root's folders are that user's own
    const QString redirected = redirectRootHomePath(path, platform::rootHome(), user.home);
    if (redirected.isEmpty())
        return;
    platform::log(QStringLiteral("userSelectSavePath====:%1").arg(path));
    platform::log(QStringLiteral("newSavePath====:%1").arg(path.mid(QDir::cleanPath(platform::rootHome()).size())));
    platform::log(QStringLiteral("lastSavePath====:%1").arg(redirected));
    if (m_panel)
        m_panel->reject();
    m_newPathStr = redirected;
    s_isOpen = true;
    QTimer::singleShot(300, this, &FileEraserViewController::selectFileButtonAction);
    QTimer::singleShot(1500, this, [] { s_isOpen = false; });
}

void FileEraserViewController::viewDragAction(const QStringList& paths)
{
    addChosenPaths(paths);
}

bool FileEraserViewController::addChosenPaths(const QStringList& paths)
{
    if (m_running)
        return false;
    const FileEraserList::AddOutcome outcome = m_list.addPaths(paths);
    // One notice for each path refused as NTFS.
    for (int i = 0; i < outcome.ntfsPaths.size(); ++i)
        showNTFSWindow();
    if (!outcome.systemPath.isEmpty())
        showSystemItemWindow(outcome.systemPath);
    if (m_list.valueArr.isEmpty())
        return false;
    reloadTable();
    changeHistoryButtonState();
    showListView();
    changeSelectAllButtonState();
    return outcome.added > 0;
}

void FileEraserViewController::showListView()
{
    if (!ui->listView->isHidden() && ui->listView->x() == 0)
        return;
    ui->listView->show();
    ui->listView->raise();
    raiseScreenButtons();
    slide(ui->listView, 0, [this] { ui->mainView->hide(); });
}

void FileEraserViewController::raiseScreenButtons()
{
    for (QWidget* button : {ui->setButton, ui->historyButton, ui->aboutButton})
        button->raise();
}

void FileEraserViewController::reloadTable()
{
    m_model->reload();
    applyColumnWidths();
}

void FileEraserViewController::emptyListButtonAction()
{
    if (m_running)
        return;  // the run's items stay listed until its end page is left
    m_list.valueArr.clear();
    reloadTable();
    ui->mainView->show();
    slide(ui->listView, 730, [this] { ui->listView->hide(); });
    changeSelectAllButtonState();
}

void FileEraserViewController::changeSelectAllButtonState()
{
    const FileEraserList::CountText count = m_list.selectCountText();
    if (count.boldStart < 0) {
        ui->selectCountLabel->setTextFormat(Qt::PlainText);
        ui->selectCountLabel->setText(count.text);
    } else {
        const QString bold = QStringLiteral("<span style=\"font-family:'%1'; font-weight:bold; font-size:14px\">%2</span>")
                                 .arg(CommUti::getBoldFontName(), count.text.mid(count.boldStart, count.boldLength));
        ui->selectCountLabel->setTextFormat(Qt::RichText);
        ui->selectCountLabel->setText(count.text.left(count.boldStart).toHtmlEscaped() + bold +
                                      count.text.mid(count.boldStart + count.boldLength).toHtmlEscaped());
    }
    ui->selectCountLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int state = m_list.returnSelectAllState();
    ui->eraserFileButton->setButtonEnabled(state != FileEraserList::kNoneSelected);
    ui->selectAllButton->setTextWithName(
        state == FileEraserList::kAllSelected ? QStringLiteral("Unselect all") : QStringLiteral("Select all"), 12);
    reloadTable();
}

void FileEraserViewController::setAllSelectOrNoSelect()
{
    if (m_running || m_list.valueArr.isEmpty())
        return;
    m_list.setAllSelectOrNoSelect();
    changeSelectAllButtonState();
}

void FileEraserViewController::selectListButton(int row)
{
    if (m_running)
        return;
    m_list.flipSelect(row);
    changeSelectAllButtonState();
}

void FileEraserViewController::changeHistoryButtonState()
{
    const bool fresh = PublicUtilities::getUpDataHistoryStr(QStringLiteral("WipeFileHistory")).toInt() != 0;
    const QString name = fresh ? QStringLiteral("ic_history") : QStringLiteral("ic_history_none");
    setUpImageButton(ui->historyButton, {name, name, name, name});
}

void FileEraserViewController::showNTFSWindow()
{
    runModalPanel(new NTFSViewController, window());
}

void FileEraserViewController::showSystemItemWindow(const QString& path)
{
    auto* notice = new SystemItemViewController;
    notice->setPath(path);
    runModalPanel(notice, window());
}

void FileEraserViewController::listContextMenu(const QPoint& pos)
{
    if (m_list.valueArr.isEmpty())
        return;
    const QModelIndex index = ui->valueTableView->indexAt(pos);
    if (!index.isValid())
        return;
    const FileObjPtr item = m_list.valueArr.at(index.row());
    if (item->url.isEmpty())
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("listContextMenu"));
    // The item the menu acts on, for whoever looks at the menu.
    menu.setProperty("itemPath", item->url);
    DarkLook::applyToMenu(&menu);
    menu.addAction(QStringLiteral("Open"), this, [this, item] { openFinderWhenClickItems(item); });
    menu.addAction(QStringLiteral("Reveal in Folder"), this, [this, item] { showInFinderWhenClickItems(item); });
    menu.exec(ui->valueTableView->viewport()->mapToGlobal(pos));
}

void FileEraserViewController::sayCannotOpen(const QString& text)
{
    // Without a window manager nothing else gives the keyboard back once
    // the message is read.
    const FocusReturn::Keeper opener(window());
    QMessageBox::critical(window(), QString(), text);
    opener.giveBack();
}

void FileEraserViewController::openFinderWhenClickItems(const FileObjPtr& item)
{
    if (!item || item->url.isEmpty() || !platform::openAsInvokingUser(item->url))
        sayCannotOpen(QStringLiteral("Cannot open file"));
}

void FileEraserViewController::showInFinderWhenClickItems(const FileObjPtr& item)
{
    if (!item || item->url.isEmpty()) {
        sayCannotOpen(QStringLiteral("Cannot open Folder"));
        return;
    }
    QString path = item->url;
    // A bundle is shown from its parent, as one item.
    if (QFileInfo(path).isDir() && path.endsWith(QLatin1String(".app")))
        path = QFileInfo(path).absolutePath();
    if (!platform::revealAsInvokingUser(path))
        sayCannotOpen(QStringLiteral("Cannot open Folder"));
}

void FileEraserViewController::openFileButton()
{
    const int row = ui->valueTableView->rowNum();
    if (row >= 0 && row < m_list.valueArr.size())
        showInFinderWhenClickItems(m_list.valueArr.at(row));
}

// ---- sort pop-over ---------------------------------------------------------

void FileEraserViewController::sortButtonAction()
{
    auto* sortVC = new FileEraserSortVC;
    sortVC->setDelegate(this);
    sortVC->setSortType(m_sortType, m_sortAD);
    m_fileEraserSortVC = sortVC;
    const QRect button(ui->sortButton->mapTo(window(), QPoint(0, 0)), ui->sortButton->size());
    const SortAnchor anchor = sortAnchor(window()->size(), sortVC->size(), button);
    // Opened by keys (Space or Return on the focused button, not a click):
    // the pop-over is worked by keys and stays until a choice or Escape.
    const bool byKeys = ui->sortButton->hasFocus() && !ui->sortButton->underMouse();
    m_sortDropDown.open(sortVC, window(), anchor.point, anchor.side, 0);
    if (byKeys) {
        m_sortByKeys = true;
        m_sortDropDown.keepOpen();
        sortVC->setKeyRow(m_sortType + 1);
        qApp->installEventFilter(this);
    }
}

bool FileEraserViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !m_sortDropDown.isOpen() || !m_fileEraserSortVC)
        return QWidget::eventFilter(watched, event);
    // Only keys meant for this window: a dialog above keeps its own.
    const QWidget* focus = QApplication::focusWidget();
    if (focus && focus->window() != window() && focus->window() != m_sortDropDown.window())
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        m_fileEraserSortVC->moveKeyRow(-1);
        return true;
    case Qt::Key_Down:
    case Qt::Key_Right:
        m_fileEraserSortVC->moveKeyRow(1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!key->isAutoRepeat())
            m_fileEraserSortVC->chooseKeyRow();
        return true;
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        m_sortDropDown.choiceMade();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

FileEraserViewController::SortAnchor FileEraserViewController::sortAnchor(const QSize& windowSize,
                                                                          const QSize& popSize, const QRect& button)
{
    // Designed as (891, 409) from the window's lower left corner: the sort
    // button's centre line, the pop-over above the point.
    const QPointF designed(891, windowSize.height() - 409);
    const AttachedGeometry::Layout above = AttachedGeometry::layout(popSize, designed, 3, 0, AttachedGeometry::Style{});
    if (QRectF(QPointF(0, 0), QSizeF(windowSize)).contains(QRectF(above.windowOrigin, above.windowSize)))
        return {designed, 3};
    // Below the sort button, where it hides neither that button nor its neighbours.
    return {QPointF(button.center().x(), button.bottom() + 3), 1};
}

void FileEraserViewController::closeMattachedWindow()
{
    m_sortDropDown.closeMattachedWindow();
}

void FileEraserViewController::mouseEixtView(bool exited)
{
    m_sortDropDown.mouseEixtView(exited);
}

void FileEraserViewController::selectSortbyType(int sortType, int sortAD)
{
    m_sortDropDown.choiceMade();
    m_sortType = sortType;
    m_sortAD = sortAD;
    const FileObjList copy = m_list.valueArr;
    platform::runInBackground(
        this, [copy, sortType, sortAD] { return FileEraserList::sortedList(copy, sortType, sortAD); },
        [this](const FileObjList& sortedItems) {
            m_list.applySorted(sortedItems);
            reloadTable();
            emit sorted();
        });
}

// ---- run side --------------------------------------------------------------

void FileEraserViewController::eraserNowButtonAction()
{
    if (m_running || m_list.returnSelectAllState() == FileEraserList::kNoneSelected)
        return;
    ui->progressView->move(730, 0);
    ui->progressView->show();
    auto* confirm = new MakeSureFileEraserViewControoler;
    confirm->setDelegate(this);
    runModalPanel(confirm, window());
}

void FileEraserViewController::makeSureToEraserSelectFiles()
{
    if (m_running)
        return;  // one confirmation, one run
    ui->bigFileNode->hide();
    doEraserSelectFiles();
    setEndView(false);
}

void FileEraserViewController::setEndView(bool hidden)
{
    for (QWidget* page : {ui->sussView, ui->failView}) {
        page->move(730, 0);
        page->setHidden(hidden);
    }
}

void FileEraserViewController::doEraserSelectFiles()
{
    if (m_running)
        return;
    m_running = true;
    // What was ticked when the user confirmed is what the run erases.
    m_confirmedItems.clear();
    for (const FileObjPtr& item : m_list.valueArr)
        if (item->isSelect)
            m_confirmedItems.append(item);
    ui->progressView->show();
    ui->progressView->raise();
    slide(ui->progressView, 0, [this] {
        // The keyboard on the list page leaving goes to Cancel, the one
        // control of the run.
        const QWidget* focus = QApplication::focusWidget();
        const bool fromList = !focus || ui->listView->isAncestorOf(focus);
        ui->listView->hide();
        ui->listView->move(730, 0);
        // The page covers the screen's corner buttons until the run's end
        // page is left: hidden, Tab finds no stop under it.
        for (QWidget* button : {ui->setButton, ui->historyButton, ui->aboutButton})
            button->hide();
        ui->eraserTypeLabel->setText(PublicUtilities::getEraserTimes());
        if (fromList && ui->cancelEraserButton->isVisible() && window()->isActiveWindow())
            ui->cancelEraserButton->setFocus(Qt::OtherFocusReason);
    });
    m_isCancel = false;
    m_engineEnded = false;
    m_isFailedEraser = false;
    m_deleteErrorArr.clear();
    // Nothing of the last run shows while this one's list is being built.
    ui->eraserRoundLabel->clear();
    ui->eraserPathLabel->clear();
    ui->progressBar->changeProgressValue(2);
    m_removeFileAndFolder = std::make_unique<RemoveFileAndFolder>(m_toolPath);
    m_removeFileAndFolder->setDelegate(this);
    QTimer::singleShot(500, this, &FileEraserViewController::beginRemove);
}

void FileEraserViewController::beginRemove()
{
    if (m_superDelegate)
        m_superDelegate->canChangeType(false);
    setEraserTime();
    // The tree walk may take a while on a large folder: it runs away from
    // the window, whose progress page and clock are already on screen.
    const FileObjList confirmed = m_confirmedItems;
    platform::runInBackground(
        this, [confirmed] { return FolderExpansion::buildRunList(confirmed); },
        [this](const FileObjList& run) {
            m_runList = run;
            // A cancel during the wait or the walk reaches the engine first,
            // which then erases nothing.
            m_removeFileAndFolder->benginToTraskWithArr(m_runList);
        });
}

void FileEraserViewController::removeProgress(float percent, const QString& path, int index)
{
    const int count = m_removeFileAndFolder ? static_cast<int>(m_removeFileAndFolder->allFilesArr().size()) : 0;
    ui->eraserRoundLabel->setText(QStringLiteral("%1 of %2 items").arg(index).arg(count));
    ui->progressBar->changeProgressValue(qMax(2.0f, percent));
    ui->eraserPathLabel->setText(path);
    if (!m_eraserBigTimer.isActive()) {
        showEraserBigFileNode();
        setEraserBigTimer();
    }
}

void FileEraserViewController::haveFailEraser()
{
    m_isFailedEraser = true;
}

void FileEraserViewController::removeObjEnd(const FileObjList&)
{
    m_engineEnded = true;
    QTimer::singleShot(1000, this, &FileEraserViewController::showEndView);
}

void FileEraserViewController::cancelShred()
{
    // Too late once the engine has ended: everything it reached is done, and
    // the end page must not call a finished run cancelled.
    if (!m_running || !m_removeFileAndFolder || m_engineEnded)
        return;
    m_isCancel = true;
    m_removeFileAndFolder->isCancel();
}

void FileEraserViewController::setEraserTime()
{
    m_eraserTimeR = 0;
    m_eraserTimer.start();
    showProgressValue();
}

QString FileEraserViewController::clockText(int seconds)
{
    const int hours = seconds / 3600;
    const int minutes = seconds / 60 % 60;
    const int secs = seconds % 60;
    return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QLatin1Char('0')).arg(secs, 2, 10, QLatin1Char('0'));
}

void FileEraserViewController::showProgressValue()
{
    ++m_eraserTimeR;
    ui->usedTimeLabel->setText(clockText(m_eraserTimeR));
}

void FileEraserViewController::stopEraserTimer()
{
    m_eraserTimer.stop();
}

void FileEraserViewController::setEraserBigTimer()
{
    m_eraserBigTimer.start();
}

void FileEraserViewController::showEraserBigFileNode()
{
    ui->bigFileNode->show();
}

void FileEraserViewController::stopEraserBigTimer()
{
    ui->bigFileNode->hide();
    m_eraserBigTimer.stop();
}

void FileEraserViewController::showEndView()
{
    if (!m_running)
        return;
    stopEraserBigTimer();
    stopEraserTimer();
    if (m_superDelegate)
        m_superDelegate->canChangeType(true);

    // Every ticked item is judged by whether its path is still there, a
    // cancelled run's too; the list keeps only the unticked ones.
    m_deleteErrorArr = m_list.takeJudgedItems();
    const bool anyLeft = std::any_of(m_deleteErrorArr.cbegin(), m_deleteErrorArr.cend(),
                                     [](const FileObjPtr& item) { return item->failStr == Outcome::failed; });

    // The end page follows the items: one left in place is a failure even
    // when nothing else said so.
    QWidget* page = ui->sussView;
    if (m_isFailedEraser || m_isCancel || anyLeft) {
        ui->failNode->setText(m_isCancel ? QStringLiteral("The operation was canceled by the user.") : QString());
        ui->failNode->setVisible(m_isCancel);
        page = ui->failView;
    }
    page->show();
    page->raise();
    slide(page, 0, [this] {
        ui->progressView->hide();
        ui->progressView->move(730, 0);
    });
    reloadTable();
    m_running = false;
    recordRun(m_deleteErrorArr);
}

void FileEraserViewController::recordRun(const FileObjList& items)
{
    if (items.isEmpty()) {
        m_lastRunRecorded = true;
        emit runEnded();
        return;
    }
    m_lastRunRecorded = false;
    m_recordAttempts = 0;
    m_unrecorded = items;
    // The first try and any retry run in the background: a busy history
    // waits there, never in the window.
    auto attempt = std::make_shared<std::function<void()>>();
    *attempt = [this, items, attempt] {
        if (m_unrecorded.isEmpty())
            return;  // taken meanwhile, on the way out
        ++m_recordAttempts;
        m_recordInFlight = true;
        DoDataBase* store = m_store;
        platform::runInBackground(
            this,
            [store, items] {
                bool busy = false;
                const bool written = store->writePlistForHistoryWithArr(items, &busy);
                return written ? 0 : busy ? 1 : 2;
            },
            [this, items, attempt](int outcome) {
                m_recordInFlight = false;
                const bool first = m_recordAttempts == 1;
                if (outcome == 1 && m_recordAttempts < kRecordAttempts) {
                    if (first)
                        platform::log(QStringLiteral("The history is busy; the erasure of %1 items is recorded when it is free")
                                          .arg(items.size()));
                    QTimer::singleShot(kRecordRetryMs, this, [attempt] {
                        if (*attempt)
                            (*attempt)();
                    });
                } else {
                    *attempt = nullptr;  // the last try: nothing holds on to it any more
                    if (outcome == 0) {
                        historyRecorded();
                    } else {
                        platform::log(
                            QStringLiteral("The erasure of %1 items could not be recorded in the history").arg(items.size()));
                        m_unrecorded.clear();
                        PublicUtilities::showHistoryNotRecorded(
                            window(), QStringLiteral("The erasure could not be recorded in the history."));
                    }
                }
                if (first)
                    emit runEnded();
            });
    };
    (*attempt)();
}

void FileEraserViewController::historyRecorded()
{
    m_lastRunRecorded = true;
    m_unrecorded.clear();
    // The history button tells of a new run only when one was written.
    PublicUtilities::writeUpDataHistoryStr(QStringLiteral("WipeFileHistory"), QStringLiteral("1"));
    changeHistoryButtonState();
    emit historyWritten();
}

void FileEraserViewController::waitForEvents()
{
    // Outside the event loop: events are handled as they come, without spinning.
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
}

void FileEraserViewController::finishBeforeQuit()
{
    QElapsedTimer waited;
    waited.start();
    if (m_running) {
        // Quitting is a cancel: the tool stops within one write, the run
        // ends, and what it did is recorded before the program goes.
        cancelShred();
        while (m_removeFileAndFolder && !m_removeFileAndFolder->hasEnded() && waited.elapsed() < kQuitWaitMs)
            waitForEvents();
        stopEraserBigTimer();
        stopEraserTimer();
        m_deleteErrorArr = m_list.takeJudgedItems();
        m_running = false;
        m_unrecorded = m_deleteErrorArr;
    }
    // A run still waiting for a busy history gets its last tries now, once
    // a try under way has ended (two would record it twice).
    while (m_recordInFlight && waited.elapsed() < kQuitWaitMs)
        waitForEvents();
    if (m_unrecorded.isEmpty() || m_recordInFlight)
        return;
    const FileObjList items = m_unrecorded;
    bool written = false;
    do {
        bool busy = false;
        written = m_store->writePlistForHistoryWithArr(items, &busy);
        if (!busy)
            break;
    } while (!written && waited.elapsed() < kQuitWaitMs);
    if (written)
        historyRecorded();
    else
        platform::log(QStringLiteral("The erasure of %1 items could not be recorded in the history").arg(items.size()));
}

void FileEraserViewController::leaveEndPage(QWidget* page)
{
    for (QWidget* button : {ui->setButton, ui->historyButton, ui->aboutButton})
        button->show();
    m_list.valueArr.clear();
    reloadTable();
    ui->mainView->show();
    ui->mainView->move(0, 0);
    slide(page, 720, [page] {
        page->move(730, 0);
        page->hide();
    });
    changeSelectAllButtonState();
    // The Erase Now that started the run has gone with its list: the
    // keyboard goes back to the navigation.
    if (const QWidget* focus = QApplication::focusWidget(); !focus || page->isAncestorOf(focus))
        FocusReturn::giveBack(ui->eraserFileButton, window());
}

void FileEraserViewController::failEndBackToMainView()
{
    leaveEndPage(ui->failView);
}

void FileEraserViewController::sussEndBackToMainView()
{
    leaveEndPage(ui->sussView);
}

// ---- side panels -----------------------------------------------------------

void FileEraserViewController::setButtonAction()
{
    SetEraserLevelVC::presentIn(*m_levelSlot, this);
}

void FileEraserViewController::closeSetEraserLevelView()
{
    m_levelSlot->dismiss();
}

void FileEraserViewController::historyButtonAction()
{
    PublicUtilities::writeUpDataHistoryStr(QStringLiteral("WipeFileHistory"), QStringLiteral("0"));
    changeHistoryButtonState();
    HistoryViewController::presentIn(*m_historySlot, this, QStringLiteral("WipeFile"), m_store);
}

void FileEraserViewController::closeHistoryView()
{
    m_historySlot->dismiss();
}

void FileEraserViewController::aboutButtonAction()
{
    const QString url = EULinkUrl::GetUrl(QStringLiteral("SupportTeam"));
    if (!url.isEmpty())
        platform::openAsInvokingUser(url);
}
