#include "SetEraserLevel/HistoryViewController.h"

#include "Comm/FontCache.h"
#include "SetEraserLevel/ExportViewController.h"
#include "SetEraserLevel/HistoryExportPanel.h"
#include "SetEraserLevel/HistoryPage.h"
#include "SetEraserLevel/PanelButtons.h"
#include "SetEraserLevel/SidePanelSlot.h"
#include "Main/Tools/CustemOutlineView.h"
#include "Main/Tools/CustomHeaderCell.h"
#include "Main/Tools/EUCustomOutlineView.h"
#include "PopWindow/PanelController.h"
#include "ToolCon/TextImageButton.h"
#include "platform/InvokingUser.h"
#include "platform/Log.h"
#include "ui_HistoryViewController.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QDir>
#include <QScrollBar>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QStandardItemModel>

#include <algorithm>

namespace {

// A Tab stop over an icon the cell paints: it draws nothing itself (the
// panel's focus ring shows it) and leaves the mouse to the cell.
class IconKey : public QAbstractButton
{
public:
    IconKey(const QString& name, QWidget* parent) : QAbstractButton(parent)
    {
        setObjectName(name);
        setAccessibleName(name);
        setFocusPolicy(Qt::TabFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {}
};

}  // namespace

HistoryViewController::HistoryViewController(QWidget* parent, DoDataBase* store)
    : QWidget(parent),
      ui(std::make_unique<Ui::HistoryViewController>()),
      m_store(store ? store : &DoDataBase::returnDoDataBase()),
      m_model(new QStandardItemModel(this)),
      m_stateCell(new HistoryDeleteTextFieldCell(this))
{
    ui->setupUi(this);
    ui->haveTitleLabel->setFont(FontCache::regularFont(FontCache::kScreenTitleSize));
    // The panel covers the tool's view: it paints its own dark background.
    setAttribute(Qt::WA_StyledBackground);
    PanelButtons::setUp(ui->emptyAllButton, QStringLiteral("Empty All"));
    PanelButtons::setUp(ui->closeButton, QStringLiteral("Close"));
    PanelButtons::setUp(ui->noCloseButton, QStringLiteral("Close"));
    connect(ui->emptyAllButton, &QAbstractButton::clicked, this, &HistoryViewController::emptyAllButtonAction);
    connect(ui->closeButton, &QAbstractButton::clicked, this, &HistoryViewController::closeButtonAction);
    connect(ui->noCloseButton, &QAbstractButton::clicked, this, &HistoryViewController::closeButtonAction);

    EUCustomOutlineView* view = ui->historyOutlineView;
    auto* header = new CustomHeaderCell(view);
    view->setHeader(header);
    header->setFixedHeight(CustemOutlineView::kHeaderHeight);
    // The titles start where the cells' texts do.
    header->setTitleInset(8);
    view->setModel(m_model);
    auto* textCell = new HistoryTextFieldCell(this);
    view->setItemDelegateForColumn(0, textCell);
    view->setItemDelegateForColumn(1, textCell);
    view->setItemDelegateForColumn(2, m_stateCell);
    m_stateCell->setCellDelegate(this);
    view->viewport()->installEventFilter(this);
    connect(view, &QTreeView::pressed, this, &HistoryViewController::rowClicked);
    // The list shows where the keyboard is, and the arrow keys choose a run
    // as a click does.
    view->setProperty("focusRing", true);
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (ui->historyOutlineView->hasFocus() && current.isValid())
            rowClicked(current);
    });

    m_exportKey = new IconKey(QStringLiteral("Export"), view->viewport());
    m_deleteKey = new IconKey(QStringLiteral("Delete"), view->viewport());
    connect(m_exportKey, &QAbstractButton::clicked, this, [this] { clickExportWithDate(keyClickStr); });
    connect(m_deleteKey, &QAbstractButton::clicked, this, [this] { clickDeleteWithDate(keyClickStr); });
    QWidget::setTabOrder(view, m_exportKey);
    QWidget::setTabOrder(m_exportKey, m_deleteKey);
    QWidget::setTabOrder(m_deleteKey, ui->emptyAllButton);
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &HistoryViewController::placeIconKeys);
    connect(view, &QTreeView::expanded, this, &HistoryViewController::placeIconKeys);
    connect(view, &QTreeView::collapsed, this, &HistoryViewController::placeIconKeys);
}

HistoryViewController::~HistoryViewController() = default;

HistoryViewController* HistoryViewController::presentIn(SidePanelSlot& slot, HistoryVCDelegate* host,
                                                        const QString& typeStr, DoDataBase* store)
{
    auto* vc = new HistoryViewController(nullptr, store);
    vc->setDelegate(host);
    vc->setTypeStr(typeStr);
    slot.present(vc);
    vc->getEraserHistory();
    return vc;
}

EUCustomOutlineView* HistoryViewController::historyOutlineView() const { return ui->historyOutlineView; }
TextImageButton* HistoryViewController::emptyAllButton() const { return ui->emptyAllButton; }
TextImageButton* HistoryViewController::closeButton() const { return ui->closeButton; }
TextImageButton* HistoryViewController::noCloseButton() const { return ui->noCloseButton; }
QWidget* HistoryViewController::haveView() const { return ui->haveView; }
QWidget* HistoryViewController::noView() const { return ui->noView; }

void HistoryViewController::rebuildModel()
{
    m_model->clear();
    m_model->setHorizontalHeaderLabels({tr("Erasure Time / Items"), tr("Erasure Algorithm"), tr("Result")});
    for (const QString& key : historyAllArr) {
        QList<QStandardItem*> group{new QStandardItem(key), new QStandardItem, new QStandardItem};
        for (const HistoryRow& row : HistoryDic.value(key))
            group.first()->appendRow(
                {new QStandardItem(row.items), new QStandardItem(row.algorithm), new QStandardItem(row.result)});
        m_model->appendRow(group);
    }
    for (int r = 0; r < m_model->rowCount(); ++r)
        for (int c = 0; c < m_model->columnCount(); ++c)
            if (QStandardItem* item = m_model->item(r, c))
                item->setEditable(false);
    QHeaderView* header = ui->historyOutlineView->header();
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setStretchLastSection(false);
    ui->historyOutlineView->setColumnWidth(1, 200);
    ui->historyOutlineView->setColumnWidth(2, 100);
}

void HistoryViewController::getEraserHistory()
{
    bool readable = false;
    bool damaged = false;
    HistoryDic = m_store->getAllData(&readable, &damaged);
    historyAllArr = HistoryDic.keys();
    // The key format makes plain text order newest first.
    std::sort(historyAllArr.begin(), historyAllArr.end(), std::greater<QString>());
    rebuildModel();

    // Whatever was remembered may be gone: the newest run is the one the
    // icons act on after every load.
    const bool any = !historyAllArr.isEmpty();
    ui->haveView->setVisible(any);
    ui->noView->setVisible(!any);
    // A history that cannot be read is not an empty one.
    ui->noHistoryLabel->setText(readable  ? QStringLiteral("No erasure history yet.")
                                : damaged ? QStringLiteral("The erasure history cannot be read: its database file is damaged.")
                                          : QStringLiteral("The erasure history cannot be read just now."));
    ui->emptyAllButton->setButtonEnabled(any);
    if (any) {
        const QModelIndex newest = m_model->index(0, 0);
        ui->historyOutlineView->expand(newest);
        ui->historyOutlineView->setCurrentIndex(newest);
        keyClickStr = historyAllArr.first();
        selectCellIndex = 0;
        m_stateCell->setShowFolderAndDeleteButton(newest);
    } else {
        keyClickStr.clear();
        selectCellIndex = -1;
        m_stateCell->setShowFolderAndDeleteButton(QModelIndex());
    }
    ui->historyOutlineView->setSelectCellBackgroundColorWithRow(selectCellIndex);
    placeIconKeys();
}

void HistoryViewController::placeIconKeys()
{
    const QModelIndex run = m_stateCell->shownRun();
    const QRect cell = run.isValid() ? ui->historyOutlineView->visualRect(run.siblingAtColumn(2)) : QRect();
    const bool shown = cell.isValid() && ui->historyOutlineView->viewport()->rect().intersects(cell);
    for (QAbstractButton* key : {m_exportKey, m_deleteKey}) {
        const QRect icon = key == m_exportKey ? HistoryDeleteTextFieldCell::folderImageFrame(cell)
                                              : HistoryDeleteTextFieldCell::deleteImageFrame(cell);
        key->setGeometry(icon.adjusted(-2, -2, 2, 2));
        if (!shown && key->hasFocus())
            ui->historyOutlineView->setFocus(Qt::OtherFocusReason);
        key->setVisible(shown);
    }
}

void HistoryViewController::rowClicked(const QModelIndex& index)
{
    const QModelIndex first = index.siblingAtColumn(0);
    platform::log(QStringLiteral("-select---%1").arg(first.data().toString()));
    selectCellIndex = ui->historyOutlineView->visibleRow(first);
    ui->historyOutlineView->setSelectCellBackgroundColorWithRow(selectCellIndex);
    const bool isRun = first.isValid() && !first.parent().isValid();
    // Icons show on a run's row only; clicking an item row hides them but
    // keeps the remembered run.
    m_stateCell->setShowFolderAndDeleteButton(isRun ? first : QModelIndex());
    if (isRun)
        keyClickStr = first.data().toString();
    ui->historyOutlineView->viewport()->update();
    placeIconKeys();
}

bool HistoryViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->historyOutlineView->viewport() && event->type() == QEvent::Resize)
        placeIconKeys();
    if (watched == ui->historyOutlineView->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        const QModelIndex index = ui->historyOutlineView->indexAt(pos);
        if (index.isValid() && index.column() == 2 &&
            m_stateCell->hitTestForEvent(pos, ui->historyOutlineView->visualRect(index), index))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryViewController::clickDeleteWithDate(const QString&)
{
    if (keyClickStr.isEmpty())
        return;
    if (!m_store->deleteDataWithKey(keyClickStr))
        platform::log(QStringLiteral("history: run %1 could not be deleted").arg(keyClickStr));
    getEraserHistory();
}

void HistoryViewController::emptyAllButtonAction()
{
    const bool deleted = m_store->deleteDataWithKeys(HistoryDic.keys());
    getEraserHistory();
    if (!deleted) {
        // What is still listed is what is still stored; the panel stays open.
        platform::log(QStringLiteral("history: the history could not be emptied"));
        return;
    }
    ui->emptyAllButton->setButtonEnabled(false);
    closeButtonAction();
}

void HistoryViewController::closeButtonAction()
{
    if (m_delegate)
        m_delegate->closeHistoryView();
}

void HistoryViewController::clickExportWithDate(const QString&)
{
    getHistorySavePath();
}

void HistoryViewController::getHistorySavePath()
{
    if (keyClickStr.isEmpty())
        return;
    const QString proposed =
        QStringLiteral("ErasureHistory(%1)").arg(DoDataBase::timeKey(QDateTime::currentDateTime()));
    const QString home = platform::invokingUser().home;
    const QString chosen =
        HistoryExportPanel::run(window(), QDir(home.isEmpty() ? QDir::homePath() : home).filePath(proposed));
    if (chosen.isEmpty())
        return;
    QString error;
    auto* done = new ExportViewController;
    if (!writeHTML(chosen, &error))
        done->setMessage(tr("The erasure history could not be exported to %1:\n%2").arg(chosen, error));
    runModalPanel(done, window());
}

bool HistoryViewController::writeHTML(const QString& path, QString* error) const
{
    QString reason;
    const bool written = HistoryPage::write(path, keyClickStr, HistoryDic.value(keyClickStr), &reason);
    if (!written)
        platform::log(QStringLiteral("history: cannot write %1: %2").arg(path, reason));
    if (error)
        *error = reason;
    return written;
}

void HistoryViewController::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        closeButtonAction();
        return;
    }
    QWidget::keyPressEvent(event);
}
