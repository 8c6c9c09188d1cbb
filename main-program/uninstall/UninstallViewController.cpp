#include "uninstall/UninstallViewController.h"

#include "Comm/CommUti.h"
#include "Comm/FontCache.h"
#include "Main/Tools/CustomHeaderCell.h"
#include "Main/Tools/CustomTableView.h"
#include "Main/Tools/ImageAndTextCell.h"
#include "Main/Tools/ImageTextCell.h"
#include "PopWindow/PanelController.h"
#include "ToolCon/ButtonSetUp.h"
#include "ToolCon/TCImageButton.h"
#include "ToolCon/TextImageButton.h"
#include "platform/Background.h"
#include "platform/FolderSize.h"
#include "platform/ImageStore.h"
#include "platform/Log.h"
#include "platform/StartUp.h"
#include "uninstall/FocusRing.h"
#include "uninstall/UninstallProgressViewController.h"
#include "uninstall/UninstallRun.h"
#include "uninstall/TrashButtonCell.h"
#include "uninstall/UninstallTableModel.h"
#include "ui_UninstallViewController.h"

#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>

namespace {

// Records of the other tabs' programs claim the leftovers named after them.
QStringList patternsOfOthers(const AMAppItemList& all, const AMAppItemList& chosen)
{
    QStringList patterns;
    for (const auto& item : all)
        if (!chosen.contains(item))
            patterns += RelatedAppFilesScanner::patternsFor(*item);
    return patterns;
}

}  // namespace

UninstallViewController::UninstallViewController(QWidget* parent)
    : UninstallViewController(ScanSetup::standard(), RelatedRoots::forHome(platform::invokingUser().home), true, parent)
{
}

UninstallViewController::UninstallViewController(const ScanSetup& setup, const RelatedRoots& roots, bool scanNow,
                                                 QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::UninstallViewController>()), m_setup(setup), m_roots(roots)
{
    ui->setupUi(this);
    m_panelRunner = [this](PanelController* controller) {
        runModalPanel(controller, window(), PanelAnchor::LeftOfLowerMiddle, 1, 5);
    };
    m_quitAsker = [this] {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Tarnwick Vantoly"),
                        QStringLiteral("A removal is still going on. Quitting now would leave the package manager "
                                       "working with no one to see how it ends.\n\nQuit when the removal has ended?"),
                        QMessageBox::NoButton, window());
        QPushButton* quit = box.addButton(QStringLiteral("Quit When Done"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Keep Working"), QMessageBox::RejectRole);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return box.clickedButton() == quit;
    };
    setUp();
    // Started once the window is up: the package lookups never hold up the start.
    if (scanNow)
        platform::afterStartUp(this, [this] { begimScanFile(); });
}

UninstallViewController::~UninstallViewController() = default;

void UninstallViewController::setUp()
{
    m_appsType = 0;
    m_typeSegment = new CustemSegmentVC(ui->segmentHolder);
    m_typeSegment->setDelegate(this);
    m_typeSegment->move(0, 0);

    const QStringList small{"btn_s_normal", "btn_s_normal", "btn_s_hover", "btn_s_disable"};
    setUpImageButton(ui->selectAllBut, small);
    ui->selectAllBut->setTextWithName(QStringLiteral("Select all"), 12);
    setUpImageButton(ui->refButton, small);
    ui->refButton->setTextWithName(QStringLiteral("Refresh"), 12);
    setUpImageButton(ui->uninstallButton, {"btn_main", "btn_main_press", "btn_main_press", "btn_main_disable"});
    ui->uninstallButton->setTextWithName(QStringLiteral("Uninstall"), 16);
    ui->uninstallButton->setButtonEnabled(false);
    setUpImageButton(ui->sortButton, {"sortby", "sortby_press", "sortby_hover", "sortby"});
    setUpImageButton(ui->closeSearchButton, {"ic_close", "ic_close_press", "ic_close_hover", "ic_close"});
    ui->closeSearchButton->hide();
    ui->searchBarIcon->setPixmap(platform::imageNamed(QStringLiteral("search")));

    connect(ui->selectAllBut, &QAbstractButton::clicked, this, &UninstallViewController::selectAllButtonAction);
    connect(ui->refButton, &QAbstractButton::clicked, this, &UninstallViewController::refButtonAction);
    connect(ui->uninstallButton, &QAbstractButton::clicked, this, &UninstallViewController::uninstallAppButtonAction);
    connect(ui->sortButton, &QAbstractButton::clicked, this, &UninstallViewController::sortButtonAction);
    connect(ui->closeSearchButton, &QAbstractButton::clicked, this, &UninstallViewController::closeSearchButton);
    connect(&m_sortDropDown, &AttachedDropDown::closed, this, [this] { m_fileEraserSortVC = nullptr; });

    ui->searchTextFiled->setPlaceholderText(QStringLiteral("Search"));
    ui->searchTextFiled->setFont(FontCache::lightFont(14));
    QPalette palette = ui->searchTextFiled->palette();
    palette.setColor(QPalette::PlaceholderText, QColor::fromRgbF(1, 1, 1, 0.5f));
    ui->searchTextFiled->setPalette(palette);
    ui->searchTextFiled->setCTdelegate(this);
    connect(ui->searchTextFiled, &QLineEdit::textChanged, this, &UninstallViewController::controlTextDidChange);
    connect(ui->searchTextFiled, &QLineEdit::editingFinished, this, &UninstallViewController::controlTextDidEndEditing);

    setUpTable();
    setHeaderTitle();
    changeSelectAllButtonState();
}

void UninstallViewController::setUpTable()
{
    m_model = new UninstallTableModel(this);
    m_model->setRecords(&m_showListArr);
    m_model->setIsTicked([this](const AMAppItem* item) {
        const AMAppItemList& t = ticked(m_appsType);
        return std::any_of(t.begin(), t.end(), [item](const AMAppItemPtr& p) { return p.get() == item; });
    });
    m_model->setSizeNeeded([this](const AMAppItemPtr& item) { measureSize(item); });
    // The trash turns red under the pointer or the keyboard, nowhere else.
    m_model->setHighlightedRow(-1);

    CustomTableView* table = ui->listViewTabel;
    table->setModel(m_model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(50);
    table->setShowGrid(false);
    table->setFont(FontCache::lightFont(12));
    applyDarkListPalette(table);
    table->viewport()->setAutoFillBackground(false);

    auto* check = new CheckButtonCell(table);
    check->setDelegate(this);
    table->setItemDelegateForColumn(UninstallTableModel::CheckBox, check);
    table->setItemDelegateForColumn(UninstallTableModel::AppName, new ImageTextCell(table));
    auto* version = new ImageAndTextCell(table);
    version->setColor(QColor::fromRgbF(1, 1, 1, 0.6f));
    table->setItemDelegateForColumn(UninstallTableModel::Version, version);
    auto* size = new ImageAndTextCell(table);
    size->setColor(QColor(249, 249, 255));
    table->setItemDelegateForColumn(UninstallTableModel::Size, size);
    table->setItemDelegateForColumn(UninstallTableModel::Trash,
                                    new TrashButtonCell([this](const QModelIndex& index) { trashClicked(index); }, table));

    connect(table, &QTableView::clicked, this, [this](const QModelIndex& index) {
        m_selectRow = index.row();
        ui->listViewTabel->setSelectNum(m_selectRow);
    });
    // By keys: Up and Down move, Space ticks, Tab goes on to the row's trash
    // button (Space or Return presses it) and then out of the list.
    table->setFocusPolicy(Qt::StrongFocus);
    table->setTabKeyNavigation(false);
    table->installEventFilter(this);
    table->viewport()->setMouseTracking(true);
    table->viewport()->installEventFilter(this);
    m_ring = new FocusRing(table, [table](const QModelIndex& index) {
        if (index.column() == UninstallTableModel::Trash)
            return table->visualRect(index);
        QRect row;
        for (int c = 0; c < UninstallTableModel::ColumnCount; ++c)
            row = row.united(table->visualRect(index.siblingAtColumn(c)));
        return row;
    });
    rebuildHeader();
}

void UninstallViewController::updateTrashHighlight()
{
    CustomTableView* table = ui->listViewTabel;
    int row = m_hoverRow;
    if (row < 0 && table->hasFocus() && table->currentIndex().column() == UninstallTableModel::Trash)
        row = table->currentIndex().row();
    if (m_isPreparing && m_isUninsatllOne && m_oneItem)
        row = int(m_showListArr.indexOf(m_oneItem));
    if (row == m_model->highlightedRow())
        return;
    m_model->setHighlightedRow(row);
    table->viewport()->update();
}

bool UninstallViewController::removalRunning() const
{
    return m_run && !m_run->isDone() && m_run->allSelectCount() > 0;
}

void UninstallViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The window's close (its button, the window manager, Quit) is asked about
    // while a removal goes on.
    if (m_watchedWindow != window()) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = window();
        m_watchedWindow->installEventFilter(this);
    }
}

bool UninstallViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::Close) {
        if (!removalRunning())
            return false;
        // Ended at once, apt and dpkg would go on with nobody told how it ended.
        event->ignore();
        if (!m_quitWhenDone && m_quitAsker && m_quitAsker()) {
            m_quitWhenDone = true;
            platform::log(QStringLiteral("Uninstaller: quitting once the removal has ended"));
        }
        return true;
    }
    CustomTableView* table = ui->listViewTabel;
    if (watched == table->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            const QModelIndex index = table->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            m_hoverRow = index.isValid() && index.column() == UninstallTableModel::Trash ? index.row() : -1;
            updateTrashHighlight();
        } else if (event->type() == QEvent::Leave) {
            m_hoverRow = -1;
            updateTrashHighlight();
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched != table)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        if (event->type() == QEvent::FocusIn && !table->currentIndex().isValid() && !m_showListArr.isEmpty())
            table->setCurrentIndex(cell(0, UninstallTableModel::CheckBox));
        QTimer::singleShot(0, this, &UninstallViewController::updateTrashHighlight);
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const QModelIndex current = table->currentIndex();
    const bool onTrash = current.isValid() && current.column() == UninstallTableModel::Trash;
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    auto moveTo = [&](int row, int column) {
        table->setCurrentIndex(cell(row, column));
        updateTrashHighlight();
        m_ring->follow();
    };
    switch (key->key()) {
    case Qt::Key_Space:
        if (!plain || !current.isValid())
            return plain;
        if (onTrash)
            oneAppRemove(current.row());
        else {
            CheckButtonCell* none = nullptr;
            clickButtonAction(none, current);
        }
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (onTrash) {
            oneAppRemove(current.row());
            return true;
        }
        return false;
    case Qt::Key_Tab:
        if (plain && current.isValid() && !onTrash) {
            moveTo(current.row(), UninstallTableModel::Trash);
            return true;
        }
        return false;
    case Qt::Key_Backtab:
        if (onTrash) {
            moveTo(current.row(), UninstallTableModel::CheckBox);
            return true;
        }
        return false;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (current.isValid())
            moveTo(current.row(), key->key() == Qt::Key_Left ? UninstallTableModel::CheckBox : UninstallTableModel::Trash);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        // Row by row, staying on the tick box or the trash button.
        const int column = current.isValid() ? current.column() : UninstallTableModel::CheckBox;
        const int row = current.isValid() ? current.row() + (key->key() == Qt::Key_Up ? -1 : 1) : 0;
        if (row >= 0 && row < m_showListArr.size()) {
            moveTo(row, column);
            table->scrollTo(cell(row, column));
        }
        return true;
    }
    default:
        return false;
    }
}

CustomTableView* UninstallViewController::tableView() const { return ui->listViewTabel; }

QModelIndex UninstallViewController::cell(int row, int column) const
{
    return m_model->index(row, column);
}

void UninstallViewController::rebuildHeader()
{
    // Each rebuild makes a new header: its click and widths are set again.
    CustomTableView* table = ui->listViewTabel;
    table->setupHeaderCell();
    table->horizontalHeader()->show();  // a header made after the table is shown starts hidden
    table->horizontalHeader()->setSectionsClickable(true);
    connect(table->horizontalHeader(), &QHeaderView::sectionClicked, this, &UninstallViewController::tableDidClickColumn);
    applyColumnWidths();
}

void UninstallViewController::applyColumnWidths()
{
    // A reset of the model puts the header back to its defaults.
    CustomTableView* table = ui->listViewTabel;
    table->setColumnWidth(UninstallTableModel::CheckBox, 50);
    table->setColumnWidth(UninstallTableModel::AppName, 340);
    table->setColumnWidth(UninstallTableModel::Version, 120);
    table->setColumnWidth(UninstallTableModel::Size, 120);
    table->setColumnWidth(UninstallTableModel::Trash, 60);
}

AMAppItemList& UninstallViewController::full(int tab)
{
    return tab == 1 ? m_widgetsArr : tab == 2 ? m_pluginsArr : m_allApplications;
}

AMAppItemList& UninstallViewController::ticked(int tab)
{
    return tab == 1 ? m_uninsatllWidgtsArr : tab == 2 ? m_uninsatllPlugetsArr : m_uninsatllAppArr;
}

const AMAppItemList& UninstallViewController::fullList(int tab) const
{
    return const_cast<UninstallViewController*>(this)->full(tab);
}

const AMAppItemList& UninstallViewController::tickedList(int tab) const
{
    return const_cast<UninstallViewController*>(this)->ticked(tab);
}

CustemTextField* UninstallViewController::searchField() const { return ui->searchTextFiled; }

void UninstallViewController::reloadTable()
{
    // The keyboard keeps its row across the reset, where the row still is.
    const QModelIndex current = ui->listViewTabel->currentIndex();
    m_model->reload();
    applyColumnWidths();
    if (current.isValid() && !m_showListArr.isEmpty())
        ui->listViewTabel->setCurrentIndex(
            cell(std::min<int>(current.row(), int(m_showListArr.size()) - 1), current.column()));
    if (m_ring)
        m_ring->follow();
}

void UninstallViewController::setHeaderTitle()
{
    const QString format = m_appsType == 0 ? QStringLiteral("   Applications(Total: %1 items)")
                                           : QStringLiteral("   Items(Total: %1 items)");
    m_model->setNameTitle(format.arg(m_showListArr.size()));
    rebuildHeader();
}

QString UninstallViewController::nameColumnTitle() const { return m_model->nameTitle(); }

// ---- Scan ---------------------------------------------------------------

void UninstallViewController::begimScanFile()
{
    m_searchPaths = {m_setup.applicationRoots, m_setup.widgetRoots, m_setup.pluginRoots};
    getApplications();
}

void UninstallViewController::getApplications()
{
    m_typeSegment->setSegmentEndit(false);
    ui->refButton->setButtonEnabled(false);
    m_isScan = true;
    const quint64 generation = ++m_scanGeneration;
    m_allApplications.clear();
    m_uninsatllAppArr.clear();
    const ScanSetup setup = m_setup;
    platform::runInBackground(this, [setup] { return ApplicationScan::applications(setup); },
                              [this, generation, setup](AMAppItemList apps) {
        if (generation != m_scanGeneration)
            return;
        for (const auto& item : apps) {
            if (item->isSystemApp)
                continue;  // the system's own, and this program, are not offered
            m_allApplications << item;
            if (m_appsType == 0)
                m_showListArr << item;
        }
        reloadTable();
        setHeaderTitle();
        changeSelectAllButtonState();
        platform::runInBackground(this, [setup] {
            return std::make_pair(ApplicationScan::widgets(setup), ApplicationScan::plugins(setup));
        }, [this, generation](std::pair<AMAppItemList, AMAppItemList> rest) {
            if (generation != m_scanGeneration)
                return;
            m_uninsatllWidgtsArr.clear();
            m_uninsatllPlugetsArr.clear();
            m_widgetsArr = rest.first;
            m_pluginsArr = rest.second;
            m_isScan = false;
            changeSelectAllButtonState();
            m_typeSegment->setSegmentEndit(true);
            ui->refButton->setButtonEnabled(true);
            setHeaderTitle();
            emit scanEnded();
        });
    });
}

void UninstallViewController::refButtonAction()
{
    if (m_isScan || isBusy())
        return;
    m_showListArr.clear();
    reloadTable();
    ticked(m_appsType).clear();
    // The walk and the package lookups take a while: off the window's thread,
    // with the tabs and Refresh closed meanwhile as during the first scan.
    const int tab = m_appsType;
    const ScanSetup setup = m_setup;
    m_isScan = true;
    m_typeSegment->setSegmentEndit(false);
    ui->refButton->setButtonEnabled(false);
    changeSelectAllButtonState();
    const quint64 generation = ++m_scanGeneration;
    platform::runInBackground(this, [setup, tab] {
        AMAppItemList fresh;
        if (tab == 2) {
            fresh = ApplicationScan::plugins(setup);
        } else if (tab == 1) {
            fresh = ApplicationScan::widgets(setup);
        } else {
            for (const auto& item : ApplicationScan::applications(setup))
                if (!item->isSystemApp)
                    fresh << item;
        }
        return fresh;
    }, [this, generation, tab](AMAppItemList fresh) {
        if (generation != m_scanGeneration)
            return;
        full(tab) = fresh;
        ticked(tab).clear();
        m_isScan = false;
        m_typeSegment->setSegmentEndit(true);
        ui->refButton->setButtonEnabled(true);
        if (tab == m_appsType)
            applyFilter();
        reloadTable();
        setHeaderTitle();
        changeSelectAllButtonState();
        emit scanEnded();
    });
}

void UninstallViewController::measureSize(const AMAppItemPtr& item)
{
    item->bIsGetSize = true;
    if (item->hasKnownSize) {
        item->size = CommUti::convertVolSpace(item->knownBytes);
        return;
    }
    // A package's size is what dpkg says it installed; its desktop entry is
    // no measure of it, so without a figure it stays unmeasured.
    if (item->kind == AppKind::Package)
        return;
    const QString path = item->path;
    platform::runInBackground(this, [path] { return RelatedAppFilesScanner::getFileSizeItem(path); },
                              [this, item](QString size) {
        item->size = size;
        m_model->sizeChanged(item);
    });
}

// ---- Tabs, ticking, search ---------------------------------------------

void UninstallViewController::segmentSelectWithIndex(int index)
{
    if (index < 0 || index > 2)
        return;
    ui->searchTextFiled->blockSignals(true);
    ui->searchTextFiled->clear();
    ui->searchTextFiled->blockSignals(false);
    ui->closeSearchButton->hide();
    ui->searchBarIcon->show();
    m_appsType = index;
    m_showListArr = full(index);
    m_selectRow = -1;
    m_model->setHighlightedRow(-1);
    setHeaderTitle();
    reloadTable();
    changeSelectAllButtonState();
}

void UninstallViewController::clickButtonAction(CheckButtonCell* cell, const QModelIndex& index)
{
    (void)cell;
    if (m_isScan || isBusy() || !index.isValid() || index.row() >= m_showListArr.size())
        return;
    // The clicked row's record, never a remembered selection.
    const AMAppItemPtr item = m_showListArr.at(index.row());
    AMAppItemList& t = ticked(m_appsType);
    if (t.contains(item))
        t.removeAll(item);
    else
        t << item;
    reloadTable();
    changeSelectAllButtonState();
}

void UninstallViewController::trashClicked(const QModelIndex& index)
{
    if (index.isValid())
        oneAppRemove(index.row());
}

void UninstallViewController::selectAllButtonAction()
{
    if (isBusy())
        return;
    AMAppItemList& t = ticked(m_appsType);
    const qsizetype n = shownTicked().size();
    t.clear();
    if (n != m_showListArr.size())
        t = m_showListArr;
    reloadTable();
    changeSelectAllButtonState();
}

AMAppItemList UninstallViewController::shownTicked() const
{
    // A tick the search hides is neither counted nor acted on.
    AMAppItemList shown;
    for (const auto& item : tickedList(m_appsType))
        if (m_showListArr.contains(item))
            shown << item;
    return shown;
}

void UninstallViewController::changeSelectAllButtonState()
{
    const qsizetype c = shownTicked().size();
    const qsizetype s = m_showListArr.size();
    if (c > 0) {
        ui->uninstallButton->setButtonEnabled(!m_isPreparing);
        ui->selectAllBut->setTextWithName(c < s ? QStringLiteral("Select all") : QStringLiteral("Unselect all"), 12);
        const QString bold = QStringLiteral("<span style=\"font-family:'%1'; font-size:14px; font-weight:bold\">%2</span>")
                                 .arg(CommUti::getBoldFontName().toHtmlEscaped())
                                 .arg(c);
        ui->selectCountLabel->setText(QStringLiteral("Selected: %1/%2 Items").arg(bold).arg(s));
    } else {
        ui->uninstallButton->setButtonEnabled(false);
        ui->selectAllBut->setTextWithName(QStringLiteral("Select all"), 12);
        ui->selectCountLabel->setText((s < 2 ? QStringLiteral("Total: %1 Item") : QStringLiteral("Total: %1 Items")).arg(s));
    }
}

QString UninstallViewController::countLineText() const
{
    QTextDocument doc;
    doc.setHtml(ui->selectCountLabel->text());
    return doc.toPlainText();
}

QString UninstallViewController::selectAllText() const
{
    return ui->selectAllBut->label() ? ui->selectAllBut->label()->text() : QString();
}

bool UninstallViewController::uninstallEnabled() const { return ui->uninstallButton->buttonEnabled(); }

void UninstallViewController::beginToEnditForTextField()
{
    ui->searchBarIcon->hide();
    ui->closeSearchButton->show();
    ui->searchBgView->setBeEenditing(true);
}

void UninstallViewController::applyFilter()
{
    const QString text = ui->searchTextFiled->text().toLower();
    m_showListArr.clear();
    for (const auto& item : full(m_appsType))
        if (text.isEmpty() || item->name.toLower().contains(text))
            m_showListArr << item;
}

void UninstallViewController::controlTextDidChange(const QString&)
{
    applyFilter();
    setHeaderTitle();
    reloadTable();
    changeSelectAllButtonState();
}

void UninstallViewController::controlTextDidEndEditing()
{
    ui->searchBgView->setBeEenditing(false);
    if (ui->searchTextFiled->text().isEmpty()) {
        ui->closeSearchButton->hide();
        ui->searchBarIcon->show();
    }
}

void UninstallViewController::closeSearchButton()
{
    ui->searchTextFiled->blockSignals(true);
    ui->searchTextFiled->clear();
    ui->searchTextFiled->blockSignals(false);
    ui->searchTextFiled->clearFocus();
    m_showListArr = full(m_appsType);
    ui->closeSearchButton->hide();
    ui->searchBarIcon->show();
    reloadTable();
    setHeaderTitle();  // counts the rows shown, as the count line does
    changeSelectAllButtonState();
}

// ---- Sorting -------------------------------------------------------------

void UninstallViewController::tableDidClickColumn(int column)
{
    if (m_isScan || isBusy())
        return;
    const bool ascending = m_isSort;
    if (column == UninstallTableModel::Size) {
        std::stable_sort(m_showListArr.begin(), m_showListArr.end(), [ascending](const AMAppItemPtr& a, const AMAppItemPtr& b) {
            const uint64_t x = RelatedAppFilesScanner::bytesOf(a->size), y = RelatedAppFilesScanner::bytesOf(b->size);
            return ascending ? x < y : y < x;
        });
    } else if (column == UninstallTableModel::AppName) {
        std::stable_sort(m_showListArr.begin(), m_showListArr.end(), [ascending](const AMAppItemPtr& a, const AMAppItemPtr& b) {
            const int c = QString::compare(a->name, b->name);
            return ascending ? c < 0 : c > 0;
        });
    } else {
        return;
    }
    // The indicator moves to the clicked column (priority 0 shows it).
    if (auto* header = qobject_cast<CustomHeaderCell*>(ui->listViewTabel->horizontalHeader())) {
        if (m_sortColumn >= 0 && m_sortColumn != column)
            header->setSortAscending(m_sortColumn, true, 1);
        header->setSortAscending(column, ascending, 0);
        header->viewport()->update();
    }
    m_sortColumn = column;
    reloadTable();
    m_isSort = !m_isSort;
}

void UninstallViewController::sortButtonAction()
{
    auto* sortVC = new FileEraserSortVC;
    sortVC->setDelegate(this);
    sortVC->setSortType(m_sortType, m_sortAD);
    m_fileEraserSortVC = sortVC;
    const QPoint anchor = ui->sortButton->geometry().center() + QPoint(0, ui->sortButton->height() / 2);
    m_sortDropDown.open(sortVC, window(), mapTo(window(), anchor), 3, 0);
}

void UninstallViewController::mouseEixtView(bool exited)
{
    m_sortDropDown.mouseEixtView(exited);
}

void UninstallViewController::selectSortbyType(int sortType, int sortAD)
{
    m_sortDropDown.choiceMade();
    m_sortType = sortType;
    m_sortAD = sortAD;
    std::stable_sort(m_showListArr.begin(), m_showListArr.end(), [sortType, sortAD](const AMAppItemPtr& a, const AMAppItemPtr& b) {
        int c = 0;
        if (sortType == 0) {
            c = QString::compare(a->name, b->name);
        } else {
            const int64_t x = int64_t(RelatedAppFilesScanner::bytesOf(a->size)), y = int64_t(RelatedAppFilesScanner::bytesOf(b->size));
            c = x < y ? -1 : x > y ? 1 : 0;
        }
        return sortAD == 0 ? c < 0 : c > 0;
    });
    reloadTable();
}

// ---- Removal -------------------------------------------------------------

namespace {

bool goneFromDisk(const QString& path)
{
    struct stat st{};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT;
}

// A user's entry of a package that is gone is now that entry alone, as the
// next scan would list it.
void keepAsEntryAlone(AMAppItem& item)
{
    if (item.companions.isEmpty())
        return;  // the package's own entry: gone with it
    item.kind = AppKind::Path;
    item.path = item.companions.constFirst();
    item.companions.clear();
    item.packageName.clear();
    item.bundleVersion.clear();
    item.alsoRemoves.clear();
    item.planBytes = 0;
    item.knownBytes = 0;
    item.hasKnownSize = false;
    item.size = kUnmeasuredSize;
    item.bIsGetSize = false;
}

}  // namespace

QString UninstallViewController::listSizeOf(const AMAppItem& record)
{
    if (record.hasKnownSize)
        return CommUti::convertVolSpace(record.knownBytes);
    if (record.kind == AppKind::Package)
        return kUnmeasuredSize;
    return RelatedAppFilesScanner::getFileSizeItem(record.path);
}

QList<UninstallViewController::PreparedRemoval>
UninstallViewController::prepareRemoval(const AMAppItemList& records, const QList<QStringList>& otherEntries,
                                        const PackageTools& tools, const RelatedRoots& roots,
                                        const QStringList& others)
{
    RelatedRoots withTools = roots;
    withTools.tools = tools;
    const QList<AMAppGroup> groups = RelatedAppFilesScanner::relatedFilesToApplications(records, withTools, others);
    QList<PreparedRemoval> prepared;
    for (qsizetype i = 0; i < records.size(); ++i) {
        PreparedRemoval p;
        p.record = records[i];
        // Measured now, so an item never scrolled into view shows its size.
        p.size = listSizeOf(*p.record);
        p.group = groups.value(i, AMAppGroup{p.record});
        // The program's other launchers (a user's own, with an extra option)
        // stop working with it: they are offered with it, right below it.
        qsizetype at = 1;
        for (const QString& path : otherEntries.value(i)) {
            const bool listed = std::any_of(p.group.begin(), p.group.end(),
                                            [&](const AMAppItemPtr& r) { return r->path == path; });
            if (!listed)
                p.group.insert(at++, RelatedAppFilesScanner::aConstructItem(path, 0));
        }
        prepared << p;
    }
    // A package's configuration files stay after its removal unless it is
    // purged: they get a row of their own, ticked, that makes it a purge.
    QStringList packages;
    for (const auto& record : records)
        if (record->kind == AppKind::Package && !record->packageName.isEmpty()
            && !packages.contains(record->packageName))
            packages << record->packageName;
    const auto conffiles = packageConffiles(packages, tools);
    for (PreparedRemoval& p : prepared) {
        const AMAppItem& record = *p.record;
        if (record.kind == AppKind::Package && conffiles.contains(record.packageName)) {
            QStringList present;
            uint64_t bytes = 0;
            for (const QString& file : conffiles.value(record.packageName)) {
                struct stat st{};
                if (::lstat(QFile::encodeName(file).constData(), &st) != 0)
                    continue;
                present << file;
                bytes += platform::folderSize(file);
            }
            if (!present.isEmpty()) {
                auto config = std::make_shared<AMAppItem>();
                config->kind = AppKind::PackageConfig;
                config->packageName = record.packageName;
                config->configFiles = present;
                config->name = QStringLiteral("Configuration files of %1").arg(record.packageName);
                config->path = present.constFirst();
                config->isSystemAppStr = kNoText;
                config->size = RelatedAppFilesScanner::sizeText(bytes);
                config->bIsGetSize = true;
                p.group.insert(1, config);
            }
        }
        // Everything after the item is its leftovers: they go only after it.
        for (qsizetype i = 1; i < p.group.size(); ++i)
            p.group[i]->program = p.record;
    }
    return prepared;
}

QList<AMAppGroup> UninstallViewController::applyPrepared(const QList<PreparedRemoval>& prepared)
{
    QList<AMAppGroup> groups;
    for (const PreparedRemoval& p : prepared) {
        AMAppItem& record = *p.record;
        record.size = p.size;
        record.bIsGetSize = true;
        groups << p.group;
    }
    return groups;
}

QList<QStringList> UninstallViewController::otherEntriesOf(const AMAppItemList& records) const
{
    // Entries of the same package that are not the package's own (a user's
    // copy or launcher): removing the package leaves them pointing at nothing.
    QList<QStringList> entries;
    for (const auto& record : records) {
        QStringList paths;
        if (record->kind == AppKind::Package && !record->packageName.isEmpty()) {
            for (int tab = 0; tab < 3; ++tab) {
                for (const auto& other : fullList(tab)) {
                    if (other == record || records.contains(other) || other->kind != AppKind::Package
                        || other->packageName != record->packageName)
                        continue;
                    for (const QString& companion : std::as_const(other->companions))
                        if (!paths.contains(companion) && !record->companions.contains(companion))
                            paths << companion;
                }
            }
        }
        entries << paths;
    }
    return entries;
}

QStringList UninstallViewController::otherPatterns(const AMAppItemList& records) const
{
    AMAppItemList everything = m_allApplications;
    everything += m_widgetsArr;
    everything += m_pluginsArr;
    return patternsOfOthers(everything, records);
}

QList<AMAppGroup> UninstallViewController::groupsFor(const AMAppItemList& records)
{
    return applyPrepared(prepareRemoval(records, otherEntriesOf(records), m_setup.tools, m_roots, otherPatterns(records)));
}

void UninstallViewController::setBusy(bool busy)
{
    m_isPreparing = busy;
    m_typeSegment->setSegmentEndit(!busy && !m_isScan);
    ui->refButton->setButtonEnabled(!busy && !m_isScan);
    ui->selectAllBut->setButtonEnabled(!busy);
    if (busy) {
        ui->uninstallButton->setButtonEnabled(false);
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
        changeSelectAllButtonState();
    }
}

void UninstallViewController::confirmRemovalOf(const AMAppItemList& records)
{
    // The leftovers' sizes may take a moment: they are gathered off the main
    // thread while the screen shows it is busy. The package manager's plan
    // takes seconds more and follows once the panel is open.
    setBusy(true);
    const PackageTools tools = m_setup.tools;
    const RelatedRoots roots = m_roots;
    const QStringList others = otherPatterns(records);
    const QList<QStringList> otherEntries = otherEntriesOf(records);
    platform::runInBackground(this, [records, otherEntries, tools, roots, others] {
        return prepareRemoval(records, otherEntries, tools, roots, others);
    }, [this](QList<PreparedRemoval> prepared) {
        setBusy(false);
        showSelectListWindiwWith(applyPrepared(prepared));
    });
}

QHash<QString, UninstallViewController::PackagePlan> UninstallViewController::planRemovals(const QStringList& packages,
                                                                                           const PackageTools& tools)
{
    QHash<QString, PackagePlan> plans;
    for (const QString& name : packages) {
        AMAppItem record;
        record.packageName = name;
        PackagePlan plan;
        plan.possible = AsMDeleteExecutor::planPackageRemoval(record, tools);
        plan.removes = record.alsoRemoves;
        plan.bytes = record.planBytes;
        plan.failReason = record.failReason;
        plans.insert(name, plan);
    }
    return plans;
}

void UninstallViewController::uninstallAppButtonAction()
{
    const AMAppItemList shown = shownTicked();
    if (m_isScan || isBusy() || shown.isEmpty())
        return;
    m_isUninsatllOne = false;
    confirmRemovalOf(shown);
}

void UninstallViewController::oneAppRemove(int row)
{
    if (m_isScan || isBusy() || row < 0 || row >= m_showListArr.size())
        return;
    m_isUninsatllOne = true;
    m_oneItem = m_showListArr.at(row);
    m_selectRow = row;
    m_model->setHighlightedRow(row);
    reloadTable();
    confirmRemovalOf({m_oneItem});
}

void UninstallViewController::showSelectListWindiwWith(const QList<AMAppGroup>& groups)
{
    // Every package of the groups is planned again, while the panel shows.
    AMAppItemList planned;
    QStringList packages;
    for (const AMAppGroup& group : groups) {
        for (const AMAppItemPtr& item : group) {
            if (item->kind != AppKind::Package || planned.contains(item))
                continue;
            item->planPending = true;
            item->blocked = false;
            item->defaultTicked = true;
            item->alsoRemoves.clear();
            item->failReason.clear();
            planned << item;
            if (!packages.contains(item->packageName))
                packages << item->packageName;
        }
    }
    auto* confirm = new MakeSureUninstallViewController;
    confirm->setDelegate(this);
    confirm->setAllRelaltedFiles(groups);
    const quint64 generation = ++m_planGeneration;
    if (!planned.isEmpty()) {
        QPointer<MakeSureUninstallViewController> shown(confirm);
        const PackageTools tools = m_setup.tools;
        platform::runInBackground(this, [packages, tools] { return planRemovals(packages, tools); },
                                  [this, planned, shown, generation](QHash<QString, PackagePlan> plans) {
            if (generation != m_planGeneration)
                return;  // a panel closed before its plan came in
            for (const AMAppItemPtr& item : planned) {
                const PackagePlan plan = plans.value(item->packageName);
                item->planPending = false;
                item->alsoRemoves = plan.removes;
                item->planBytes = plan.bytes;
                item->blocked = !plan.possible;
                item->defaultTicked = plan.possible;
                item->failReason = plan.failReason;
            }
            if (shown)
                shown->planArrived();
        });
    }
    m_panelRunner(confirm);
    updateTrashHighlight();
    if (generation == m_planGeneration) {
        // Closed before the plan came in: it is asked again next time.
        ++m_planGeneration;
        for (const AMAppItemPtr& item : std::as_const(planned))
            item->planPending = false;
    }
}

void UninstallViewController::uninstallConfirmed(const AMAppItemList& tickedRecords, const AMAppItemList& kept)
{
    // The progress panel opens once the confirmation has gone.
    QTimer::singleShot(500, this, [this, tickedRecords, kept] { startRun(tickedRecords, kept); });
}

void UninstallViewController::startRun(const AMAppItemList& tickedRecords, const AMAppItemList& kept)
{
    if (m_run && !m_run->isDone())
        return;  // one removal at a time; the busy look keeps the buttons off meanwhile
    m_run = std::make_unique<UninstallRun>();
    m_progressClosed = false;
    auto* progress = new UninstallProgressViewController;
    UninstallRun* run = m_run.get();
    connect(run, &UninstallRun::progressed, progress, &UninstallProgressViewController::changeProgressValue);
    connect(run, &UninstallRun::working, progress, &UninstallProgressViewController::showWorking);
    connect(run, &UninstallRun::ended, progress, [progress, run] { progress->changeLabel(run->endMessage()); });
    connect(run, &UninstallRun::ended, this, &UninstallViewController::finishRunIfDone);
    connect(run, &UninstallRun::ended, this, [this] {
        // Its end is in the log (UninstallRun records it); now the quit goes ahead.
        if (m_quitWhenDone && m_watchedWindow)
            QTimer::singleShot(0, m_watchedWindow.data(), [w = m_watchedWindow] {
                if (w)
                    w->close();
            });
    });
    run->executor().setTools(m_setup.tools);
    run->doRemove(tickedRecords, kept);
    setBusy(true);
    m_panelRunner(progress);
    m_progressClosed = true;
    finishRunIfDone();
}

void UninstallViewController::finishRunIfDone()
{
    if (m_run && m_progressClosed && m_run->isDone())
        completeCleanRelatedFiles();
}

void UninstallViewController::completeCleanRelatedFiles()
{
    if (!m_run)
        return;
    // Only what was really removed leaves the lists, with every other row
    // whose thing went with it (another entry of a removed package).
    const AMAppItemList removed = m_run->removed();
    QSet<QString> packagesGone;
    for (const auto& item : removed)
        if (item->kind == AppKind::Package)
            for (const QString& name : std::as_const(item->alsoRemoves))
                packagesGone.insert(name);
    for (int tab = 0; tab < 3; ++tab) {
        for (const auto& item : removed) {
            full(tab).removeAll(item);
            ticked(tab).removeAll(item);
        }
        AMAppItemList& list = full(tab);
        for (qsizetype i = list.size() - 1; i >= 0; --i) {
            const AMAppItemPtr item = list[i];
            if (item->kind == AppKind::Package && packagesGone.contains(item->packageName))
                keepAsEntryAlone(*item);
            if (goneFromDisk(item->path)) {
                list.removeAt(i);
                ticked(tab).removeAll(item);
            }
        }
    }
    // After a removal no row stays ticked: a failed one would otherwise go
    // along with the next removal, perhaps out of sight.
    for (int tab = 0; tab < 3; ++tab)
        ticked(tab).clear();
    // What is left of a record removed in part is measured again as shown.
    for (const auto& item : m_run->failed()) {
        if (item->partlyRemoved && !item->hasKnownSize) {
            item->size = kUnmeasuredSize;
            item->bIsGetSize = false;
        }
    }
    m_oneItem.reset();
    m_model->setHighlightedRow(-1);
    // The list keeps following the search field, and its header the list.
    applyFilter();
    setBusy(false);
    reloadTable();
    setHeaderTitle();
    m_progressClosed = false;  // completes once per run
    emit removalEnded();
}
