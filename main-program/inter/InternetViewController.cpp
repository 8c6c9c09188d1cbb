#include "inter/InternetViewController.h"

#include "Comm/CommUti.h"
#include "Comm/FontCache.h"
#include "PopWindow/PanelController.h"
#include "ToolCon/ButtonSetUp.h"
#include "ToolCon/TCImageButton.h"
#include "ToolCon/TextImageButton.h"
#include "inter/BrowserListWidgets.h"
#include "inter/BrowserTree.h"
#include "inter/RunningBrowsers.h"
#include "platform/Background.h"
#include "platform/ImageStore.h"
#include "platform/Log.h"
#include "ui_InternetViewController.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPropertyAnimation>
#include <QSet>

namespace {

const QStringList kMainImages{"btn_main", "btn_main_press", "btn_main_press", "btn_main_disable"};
const QStringList kBackImages{"back", "back_press", "back_hover", "back_disable"};

QString checkImage(int tick)
{
    return tick == 1 ? QStringLiteral("checkbox_yes") : tick == 2 ? QStringLiteral("checkbox_election")
                                                                   : QStringLiteral("checkbox_no");
}

// The browsers looked for before a scan: every kind the page knows.
QStringList everyBrowserName()
{
    QStringList names;
    for (const QString& word : BrowserTree::browserWords()) {
        BrowerObj kind;
        kind.name = word;
        kind.browserKey = word;
        for (const QString& n : RunningBrowsers::processNamesFor(kind))
            if (!names.contains(n))
                names << n;
    }
    return names;
}

// The running main processes of a browser row: for a row that knows its
// installation, only those started from it (another installation of the
// same browser is another row).
QList<pid_t> runningOf(const BrowerObj& browser, uid_t uid)
{
    QList<pid_t> pids = RunningBrowsers::find(uid, RunningBrowsers::processNamesFor(browser));
    if (browser.installDir.isEmpty())
        return pids;
    QList<pid_t> ours;
    for (pid_t pid : pids) {
        const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
        if (exe.isEmpty() || exe.startsWith(browser.installDir + '/'))
            ours << pid;
    }
    return ours;
}

}  // namespace

InternetViewController::InternetViewController(QWidget* parent) : InternetViewController(Environment(), parent) {}

InternetViewController::InternetViewController(Environment environment, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::InternetViewController>()), m_env(std::move(environment)),
      m_data(m_env.user)
{
    ui->setupUi(this);
    for (QWidget* page : {static_cast<QWidget*>(this), ui->loadBgView, ui->detailBGView, ui->cleanEndView})
        page->setAttribute(Qt::WA_StyledBackground);
    setUpButtons();
    setUpLists();
    ui->scanIconLabel->setPixmap(platform::imageNamed(QStringLiteral("ic_internet"), QSize(64, 64), devicePixelRatioF()));
    ui->loadImageView->setPixmap(platform::imageNamed(QStringLiteral("step_loading"), QSize(32, 32), devicePixelRatioF()));
    ui->scanTitleLabel->setFont(FontCache::regularFont(18));
    ui->cleanEndTitle->setFont(FontCache::regularFont(18));
    for (QLabel* label : {ui->scanNoteLabel, ui->loadTextLabel, ui->cleanEndNote, ui->nameLabel})
        label->setFont(FontCache::lightFont(13));
    // Browser and profile names are the desktop's and the user's: never markup.
    for (QLabel* label : {ui->nameLabel, ui->cleanEndNote, ui->cleanEndTitle})
        label->setTextFormat(Qt::PlainText);
    ui->detailBGView->hide();
    ui->cleanEndView->hide();
    ui->loadAnView->hide();
}

InternetViewController::~InternetViewController() = default;

BroTableView* InternetViewController::leftTableView() const { return ui->leftTableView; }
BroTableView* InternetViewController::rightTableView() const { return ui->rightTableView; }
TextImageButton* InternetViewController::cleanButton() const { return ui->cleanButton; }
QWidget* InternetViewController::scanNodeView() const { return ui->scanNodeView; }
QWidget* InternetViewController::detailBGView() const { return ui->detailBGView; }
QWidget* InternetViewController::cleanEndView() const { return ui->cleanEndView; }
QWidget* InternetViewController::loadAnView() const { return ui->loadAnView; }
QLabel* InternetViewController::nameLabel() const { return ui->nameLabel; }
QLabel* InternetViewController::cleanEndNote() const { return ui->cleanEndNote; }

void InternetViewController::setUpButtons()
{
    setUpImageButton(ui->cleanButton, kMainImages);
    ui->cleanButton->setTextWithName(tr("Clean"), 16);
    connect(ui->cleanButton, &QAbstractButton::clicked, this, &InternetViewController::cleanButtonAction);

    m_scanButton = new TextImageButton(QRect(64, 200, 120, 32), ui->scanNodeView);
    m_scanButton->setObjectName(QStringLiteral("scanButton"));
    setUpImageButton(m_scanButton, kMainImages);
    m_scanButton->setTextWithName(tr("Scan"), 16);
    connect(m_scanButton, &QAbstractButton::clicked, this, &InternetViewController::checkOpenBrower);

    setUpImageButton(ui->backHomeButton, kBackImages);
    connect(ui->backHomeButton, &QAbstractButton::clicked, this, &InternetViewController::backHomeButtonAction);
    setUpImageButton(ui->cleanEndBack, kBackImages);
    setUpImageButton(ui->cleanEndOkBut, kMainImages);
    ui->cleanEndOkBut->setTextWithName(tr("OK"), 16);
    connect(ui->cleanEndBack, &QAbstractButton::clicked, this, &InternetViewController::cleanEndBackHomeButtonAction);
    connect(ui->cleanEndOkBut, &QAbstractButton::clicked, this, &InternetViewController::cleanEndBackHomeButtonAction);
}

void InternetViewController::setUpLists()
{
    m_browserModel = new BrowserListModel({QStringLiteral("FSelect"), QStringLiteral("FName")}, this);
    m_categoryModel = new BrowserListModel({QStringLiteral("SSelect"), QStringLiteral("SName"), QStringLiteral("SSize")}, this);
    const auto button = [this](BrowerButtonCell* c, const QString& col, int row) { willDisplayButton(c, col, row); };
    const auto text = [this](BrowerImageAndTextCell* c, const QString& col, int row) { willDisplayText(c, col, row); };

    struct ListSetUp
    {
        BroTableView* table;
        BrowserListModel* model;
        int rowHeight;
        QList<int> widths;
    };
    for (const ListSetUp& s : {ListSetUp{ui->leftTableView, m_browserModel, 48, {40, 212}},
                               ListSetUp{ui->rightTableView, m_categoryModel, 40, {40, 268, 110}}}) {
        s.table->setModel(s.model);
        s.table->verticalHeader()->setDefaultSectionSize(s.rowHeight);
        for (int column = 0; column < s.widths.size(); ++column) {
            const QString id = s.model->columnId(column);
            s.table->setColumnWidth(column, s.widths[column]);
            if (id.endsWith(QLatin1String("Select"))) {
                auto* cell = new BrowerButtonCell(s.table, id, button);
                cell->setAction([this](BroTableView* list) { selectBrower(list); });
                s.table->setItemDelegateForColumn(column, cell);
            } else {
                s.table->setItemDelegateForColumn(column, new BrowerImageAndTextCell(s.table, id, text));
            }
        }
        BroTableView* table = s.table;
        // Keys do what the mouse does: Up/Down and Return choose the row,
        // Space clicks its check.
        connect(table, &BroTableView::rowChosen, this, [this, table](int row) {
            if (!m_busy)
                selectRow(table, row);
        });
        connect(table, &BroTableView::tickRequested, this, [this, table](int row) {
            table->setClickedRow(row);
            selectBrower(table);
        });
        connect(table, &QTableView::clicked, this, [this, table](const QModelIndex& index) {
            // The check column acts by itself; the rest selects the row.
            if (!qobject_cast<BrowerButtonCell*>(table->itemDelegateForColumn(index.column())))
                selectRow(table, index.row());
        });
    }
}

void InternetViewController::willDisplayButton(BrowerButtonCell* cell, const QString& column, int row)
{
    const BrowerObjPtr node = column == QLatin1String("FSelect") ? m_browserModel->nodeAt(row) : m_categoryModel->nodeAt(row);
    cell->setBroObj(node);
    cell->setImageName(node ? checkImage(node->isSelect) : QString());
}

void InternetViewController::willDisplayText(BrowerImageAndTextCell* cell, const QString& column, int row)
{
    if (column == QLatin1String("FName")) {
        const BrowerObjPtr node = m_browserModel->nodeAt(row);
        cell->setIconSize(32, 32);
        cell->setImage(node ? node->iconImage : QIcon());
        cell->setTitle(node ? QString(node->name).replace(QStringLiteral(".app"), QStringLiteral(" ")) : QString(), 160,
                       false, false);
        cell->setNote(node && BrowserListModel::noProfile(*node) ? tr("No profile") : QString());
        return;
    }
    const BrowerObjPtr node = m_categoryModel->nodeAt(row);
    if (column == QLatin1String("SName")) {
        cell->setIconSize(16, 16);
        cell->setImage(node ? node->iconImage : QIcon());
        cell->setTitle(node ? node->name : QString(), 240, false, false);
    } else {
        cell->setImage(QIcon());
        cell->setTitle(node ? node->size : QString(), 100, true, true);
    }
    cell->setIconSize(16, 16);
}

void InternetViewController::reloadLists()
{
    m_browserModel->setRows(m_browserArr);
    const BrowerObjPtr shown = m_browserModel->nodeAt(m_broSelectIndex);
    m_categoryModel->setRows(shown ? shown->chrArr : BrowerObjList());
    for (BroTableView* table : {ui->leftTableView, ui->rightTableView})
        table->viewport()->update();
}

void InternetViewController::slide(QWidget* page, int x, std::function<void()> done)
{
    auto* animation = new QPropertyAnimation(page, "pos", this);
    animation->setDuration(500);
    animation->setEndValue(QPoint(x, 0));
    if (done)
        connect(animation, &QPropertyAnimation::finished, this, std::move(done));
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void InternetViewController::showLoading(const QString& text)
{
    ui->loadTextLabel->setText(text);
    ui->scanNodeView->hide();
    ui->loadBgView->show();
    ui->loadBgView->raise();
    ui->loadAnView->show();
    ui->loadAnView->raise();
}

bool InternetViewController::askToClose(const QStringList& names)
{
    m_isClose = false;
    if (m_env.askToClose) {
        if (m_env.askToClose(names))
            closeBrowerButtonAction();
        return m_isClose;
    }
    auto* dialog = new CloseBrowerViewController;
    dialog->setDelegate(this);
    dialog->setBrowserNames(names);
    runModalPanel(dialog, window());
    return m_isClose;
}

// ---- scan

void InternetViewController::checkOpenBrower()
{
    if (m_busy)
        return;
    m_allOpenId = RunningBrowsers::find(m_env.user.uid, everyBrowserName());
    m_isClose = false;
    if (m_allOpenId.isEmpty()) {
        getBrowserArr();
        return;
    }
    // Named as the rows will be: "Firefox ESR", not the kind of browser.
    QStringList running;
    const QStringList roots = m_env.applicationRoots.isEmpty() ? CommUti::applicationPaths() : m_env.applicationRoots;
    for (const BrowerObjPtr& row : BrowserTree::browserRows(BrowserTree::installedApps(roots)))
        if (!runningOf(*row, m_env.user.uid).isEmpty() && !running.contains(row->name))
            running << row->name;
    if (running.isEmpty())
        for (const QString& word : BrowserTree::browserWords()) {
            BrowerObj kind;
            kind.name = word;
            if (!RunningBrowsers::find(m_env.user.uid, RunningBrowsers::processNamesFor(kind)).isEmpty())
                running << word;
        }
    if (!askToClose(running))
        return;
    // The scan starts once they have gone, not on a guess of how long that takes.
    m_busy = true;
    showLoading(tr("Closing browsers…"));
    const QList<pid_t> pids = m_allOpenId;
    const BrowserUser user = m_env.user;
    const int timeout = m_env.closeTimeoutMs;
    platform::runInBackground(this, [pids, user, timeout] {
        return RunningBrowsers::close(pids, user.uid, everyBrowserName(), timeout);
    }, [this](const QList<pid_t>& left) {
        m_busy = false;
        if (!left.isEmpty())
            platform::log(QStringLiteral("%1 browser processes did not quit before the scan").arg(left.size()));
        getBrowserArr();
    });
}

void InternetViewController::getBrowserArr()
{
    if (m_busy)
        return;
    m_busy = true;
    showLoading(tr("Scanning…"));
    m_browserArr.clear();
    m_browserModel->setRows({});
    m_categoryModel->setRows({});
    const QStringList roots = m_env.applicationRoots.isEmpty() ? CommUti::applicationPaths() : m_env.applicationRoots;
    const QString plist = m_env.eraserHistoryPath;
    BrowserData data = m_data;
    platform::runInBackground(this, [roots, plist, data]() mutable {
        return BrowserTree::build(BrowserTree::installedApps(roots), BrowserTree::loadEraserHistory(plist), data);
    }, [this](BrowerObjList tree) {
        m_busy = false;
        m_browserArr = std::move(tree);
        BrowserTree::attachIcons(m_browserArr);
        ui->detailBGView->show();
        ui->detailBGView->raise();
        ui->detailBGView->move(730, 0);
        slide(ui->detailBGView, 0, [this] {
            ui->loadBgView->hide();
            ui->loadAnView->hide();
        });
        m_broSelectIndex = 0;
        reloadLists();
        ui->leftTableView->setRowNum(0);
        ui->rightTableView->setRowNum(-1);
        changeDetail();
        changeCleanButtonState();
        emit scanFinished();
    });
}

void InternetViewController::showStartView()
{
    ui->loadAnView->hide();
    ui->loadBgView->show();
    ui->scanNodeView->show();
    // The loading view was raised over the start view while it ran.
    ui->loadBgView->raise();
    ui->scanNodeView->raise();
}

void InternetViewController::backHomeButtonAction()
{
    showStartView();
    ui->detailBGView->raise();
    slide(ui->detailBGView, 730, [this] { ui->detailBGView->hide(); });
}

// ---- lists

void InternetViewController::selectBrower(BroTableView* list)
{
    if (m_busy)
        return;
    const int row = list->clickedRow();
    BrowerObjPtr node;
    if (list == ui->leftTableView) {
        node = m_browserModel->nodeAt(row);
    } else {
        const BrowerObjPtr shown = m_browserModel->nodeAt(m_broSelectIndex);
        if (shown && row >= 0 && row < shown->chrArr.size())
            node = shown->chrArr[row];
    }
    if (!node)
        return;
    BrowserTree::selectBrower(*node);
    m_browserModel->reloadData();
    m_categoryModel->reloadData();
    for (BroTableView* table : {ui->leftTableView, ui->rightTableView})
        table->viewport()->update();
    changeCleanButtonState();
}

void InternetViewController::selectRow(BroTableView* list, int row)
{
    list->setRowNum(row);
    list->viewport()->update();
    if (list == ui->leftTableView) {
        m_broSelectIndex = row;
        reloadLists();
    }
    changeDetail();
}

void InternetViewController::changeDetail()
{
    const BrowerObjPtr shown = m_browserModel->nodeAt(m_broSelectIndex);
    ui->nameLabel->setText(shown ? QString(shown->name).replace(QStringLiteral(".app"), QStringLiteral(" ")) : QString());
}

void InternetViewController::changeCleanButtonState()
{
    ui->cleanButton->setButtonEnabled(BrowserTree::anyBrowserTicked(m_browserArr));
}

// ---- clean

void InternetViewController::cleanButtonAction()
{
    if (m_busy)
        return;
    m_allOpenId.clear();
    m_openByBrowser.clear();
    QStringList running;
    for (const BrowerObjPtr& browser : m_browserArr) {
        if (browser->isSelect == 0)
            continue;
        const QList<pid_t> pids = runningOf(*browser, m_env.user.uid);
        if (pids.isEmpty())
            continue;
        m_openByBrowser.insert(browser.get(), pids);
        for (pid_t pid : pids)
            if (!m_allOpenId.contains(pid))
                m_allOpenId << pid;
        running << browser->name;
    }
    if (m_allOpenId.isEmpty()) {
        cleanBrowerFiles(false);
        return;
    }
    if (askToClose(running))
        cleanBrowerFiles(true);
}

void InternetViewController::cleanBrowerFiles(bool closeFirst)
{
    m_busy = true;
    showLoading(closeFirst ? tr("Closing browsers…") : tr("Cleaning…"));
    ui->detailBGView->hide();
    const BrowerObjList browsers = m_browserArr;
    const auto openByBrowser = m_openByBrowser;
    const QList<pid_t> pids = closeFirst ? m_allOpenId : QList<pid_t>();
    const int timeout = m_env.closeTimeoutMs;
    BrowserData data = m_data;
    // The nodes are worked on away from the main thread while every view
    // that shows them is hidden and the page takes no clicks.
    platform::runInBackground(this, [browsers, openByBrowser, pids, timeout, data]() mutable {
        QSet<pid_t> left;
        if (!pids.isEmpty()) {
            QStringList names;
            for (const BrowerObjPtr& b : browsers)
                for (const QString& n : RunningBrowsers::processNamesFor(*b))
                    if (!names.contains(n))
                        names << n;
            for (pid_t pid : RunningBrowsers::close(pids, data.user().uid, names, timeout))
                left.insert(pid);
        }
        BrowerObjList attempted;
        for (const BrowerObjPtr& browser : browsers) {
            if (browser->isSelect != 0) {
                bool stillRunning = false;
                for (pid_t pid : openByBrowser.value(browser.get()))
                    stillRunning = stillRunning || left.contains(pid);
                for (const BrowerObjPtr& category : browser->chrArr) {
                    if (category->isSelect == 0)
                        continue;
                    attempted << category;
                    if (stillRunning) {
                        // Never cleaned under a live browser.
                        category->isSelect = 0;
                        category->size = BrowserData::kFailedText;
                        category->outcome = BrowerObj::Outcome::Failed;
                        category->failReason = QStringLiteral("%1 did not quit").arg(browser->name);
                        continue;
                    }
                    data.clean(*category);
                }
            }
            browser->isSelect = 0;
        }
        return attempted;
    }, [this](const BrowerObjList& attempted) {
        m_busy = false;
        ui->cleanButton->setButtonEnabled(false);
        reloadLists();
        showEndView(attempted);
        emit cleanFinished();
    });
}

void InternetViewController::showEndView(const BrowerObjList& attempted)
{
    // "Complete" only when every ticked category was found and cleaned.
    QStringList failed;
    QStringList notFound;
    bool anyCleaned = false;
    for (const BrowerObjPtr& category : attempted) {
        const QString browser = category->parObj ? category->parObj->name : QString();
        switch (category->outcome) {
        case BrowerObj::Outcome::Cleaned:
            anyCleaned = true;
            break;
        case BrowerObj::Outcome::NoProfile: {
            // One line per browser: every category misses the same profile.
            const QString line = tr("%1: %2").arg(browser, category->failReason);
            if (!notFound.contains(line))
                notFound << line;
            break;
        }
        case BrowerObj::Outcome::NothingFound:
            notFound << tr("%1 – %2: nothing found to clean").arg(browser, category->name);
            break;
        default:
            failed << tr("%1 – %2: %3").arg(browser, category->name, category->failReason);
            break;
        }
    }
    QString title = tr("Cleaning complete");
    if (!failed.isEmpty())
        title = tr("Some data could not be cleaned");
    else if (!notFound.isEmpty())
        title = anyCleaned ? tr("Some data was not found") : tr("Nothing was found to clean");
    ui->cleanEndTitle->setText(title);
    ui->cleanEndNote->setText(failed.isEmpty() && notFound.isEmpty() ? tr("The selected browser data has been removed.")
                                                                      : (failed + notFound).join('\n'));
    ui->loadAnView->hide();
    ui->detailBGView->show();
    ui->cleanEndView->show();
    ui->cleanEndView->raise();
    ui->cleanEndView->move(730, 0);
    slide(ui->cleanEndView, 0, [this] { ui->loadBgView->hide(); });
}

void InternetViewController::cleanEndBackHomeButtonAction()
{
    ui->detailBGView->hide();
    ui->detailBGView->move(730, 0);
    showStartView();
    ui->cleanEndView->raise();
    slide(ui->cleanEndView, 729, [this] {
        ui->cleanEndView->move(730, 0);
        ui->cleanEndView->hide();
    });
}
