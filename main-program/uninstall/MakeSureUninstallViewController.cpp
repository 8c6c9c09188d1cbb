#include "uninstall/MakeSureUninstallViewController.h"

#include "Comm/CommUti.h"
#include "Comm/FontCache.h"
#include "Main/Tools/CustemOutlineView.h"
#include "Main/Tools/CustomTableView.h"
#include "Main/Tools/ImageAndTextCell.h"
#include "ToolCon/ButtonSetUp.h"
#include "ToolCon/TextImageButton.h"
#include "platform/ImageStore.h"
#include "uninstall/FocusRing.h"
#include "uninstall/RelatedAppFilesScanner.h"
#include "uninstall/UninstallTableModel.h"
#include "ui_MakeSureUninstallViewController.h"

#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>
#include <QStandardItemModel>

namespace {

enum Column { CheckBox, Name, Size, ColumnCount };
// The name cells draw their text 14 px down, 17 px high, beside a 24 px icon.
constexpr int kRowHeight = 40;

// How a record reads in the list: where it is, whole, and what goes with it.
QString recordText(const AMAppItem& item)
{
    QString text = item.path;
    if (item.kind == AppKind::PackageConfig)
        return QStringLiteral("configuration files of package %1: %2")
            .arg(item.packageName, item.configFiles.join(QStringLiteral(", ")));
    if (item.kind == AppKind::Package)
        text = QStringLiteral("package %1 (%2)").arg(item.packageName, item.path);
    QStringList with = item.companions;
    with.removeAll(item.path);
    if (!with.isEmpty())
        text += QStringLiteral(", with %1").arg(with.join(QStringLiteral(", ")));
    if (item.blocked)
        text += QStringLiteral("  (cannot be removed: %1)").arg(item.failReason);
    return text;
}

const QString kWorkingOut = QStringLiteral("…");
const QString kPlanWorkingOut = QStringLiteral("Packages to be removed: being worked out with the package manager…");

// Two rows of one package are one thing: going or staying together.
bool sameThing(const AMAppItem& a, const AMAppItem& b)
{
    return &a == &b
           || (a.kind == b.kind && (a.kind == AppKind::Package || a.kind == AppKind::PackageConfig)
               && !a.packageName.isEmpty() && a.packageName == b.packageName);
}

// A name that is not ours, as a tool tip that never reads it as markup.
QString plainToolTip(const QString& text)
{
    return QStringLiteral("<p style=\"white-space:pre-wrap\">%1</p>").arg(text.toHtmlEscaped());
}

bool hasPlan(const AMAppItem& item)
{
    return item.kind == AppKind::Package && !item.planPending && !item.alsoRemoves.isEmpty();
}

}  // namespace

MakeSureUninstallViewController::MakeSureUninstallViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::MakeSureUninstallViewController>()),
      m_model(new QStandardItemModel(this))
{
    ui->setupUi(this);
    CustemOutlineView* outline = ui->outlineView;
    outline->setModel(m_model);
    outline->setEditTriggers(QAbstractItemView::NoEditTriggers);
    outline->setSelectionMode(QAbstractItemView::NoSelection);
    outline->setFont(FontCache::lightFont(12));
    applyDarkListPalette(outline);
    auto* check = new CheckButtonCell(outline);
    check->setDelegate(this);
    outline->setItemDelegateForColumn(CheckBox, check);
    for (int column : {Name, Size}) {
        auto* cell = new ImageAndTextCell(outline);
        cell->setColor(Qt::white);
        // A long path keeps its start and its own name; the tool tip has it whole.
        cell->setElideMode(Qt::ElideMiddle);
        outline->setItemDelegateForColumn(column, cell);
    }
    // The tree's indent and arrow go with the names, so every tick box sits
    // inside its own cell and a click on it reaches it.
    outline->setTreePosition(Name);
    // By keys: arrows move, Left and Right close and open a group, Space
    // ticks; the ring shows where the keyboard is.
    outline->setFocusPolicy(Qt::StrongFocus);
    outline->installEventFilter(this);
    m_ring = new FocusRing(outline);
    // A double click opens or closes a group.
    connect(outline, &QTreeView::doubleClicked, this, [outline](const QModelIndex& index) {
        const QModelIndex first = index.siblingAtColumn(0);
        outline->setExpanded(first, !outline->isExpanded(first));
    });
    setUpTextButton(ui->cancelButton, {"btn_secl_normal", "btn_secl_press", "btn_secl_hover", "btn_secl_disable"},
                    QStringLiteral("Cancel"), 14);
    setUpTextButton(ui->uninstallButton, {"btn_pril_normal", "btn_pril_press", "btn_pril_hover", "btn_pril_disable"},
                    QStringLiteral("Uninstall"), 14);
    setCancelButton(ui->cancelButton);
    setDefaultButton(ui->uninstallButton);
    connect(ui->cancelButton, &QAbstractButton::clicked, this, &MakeSureUninstallViewController::clickedCancelBtn);
    connect(ui->uninstallButton, &QAbstractButton::clicked, this, &MakeSureUninstallViewController::clickedDeleteBtn);
}

MakeSureUninstallViewController::~MakeSureUninstallViewController() = default;

QString MakeSureUninstallViewController::planText() const { return ui->planLabel->text(); }
TextImageButton* MakeSureUninstallViewController::uninstallButton() const { return ui->uninstallButton; }
TextImageButton* MakeSureUninstallViewController::cancelButton() const { return ui->cancelButton; }
CustemOutlineView* MakeSureUninstallViewController::outlineView() const { return ui->outlineView; }

QString MakeSureUninstallViewController::sizeTextOf(const AMAppItem& item)
{
    if (item.kind == AppKind::Package && item.planPending)
        return kWorkingOut;
    return hasPlan(item) ? CommUti::convertVolSpace(item.planBytes) : item.size;
}

bool MakeSureUninstallViewController::eventFilter(QObject* watched, QEvent* event)
{
    CustemOutlineView* outline = ui->outlineView;
    if (watched == outline && event->type() == QEvent::FocusIn && !outline->currentIndex().isValid()
        && m_model->rowCount() > 0)
        outline->setCurrentIndex(m_model->index(0, CheckBox));
    if (watched == outline && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QModelIndex current = outline->currentIndex();
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            if (current.isValid())
                selectRemoveLanguage(current);
            return true;
        }
        if ((key->key() == Qt::Key_Left || key->key() == Qt::Key_Right) && current.isValid()) {
            // On a group: close or open it; on a file: Left goes to its group.
            const QModelIndex first = current.siblingAtColumn(0);
            if (!first.parent().isValid())
                outline->setExpanded(first, key->key() == Qt::Key_Right);
            else if (key->key() == Qt::Key_Left)
                outline->setCurrentIndex(first.parent());
            m_ring->follow();
            return true;
        }
    }
    return PanelController::eventFilter(watched, event);
}

void MakeSureUninstallViewController::setAllRelaltedFiles(const QList<AMAppGroup>& groups)
{
    m_allRelaltedFiles = groups;
    m_ticked.clear();
    for (const AMAppGroup& group : groups)
        for (const AMAppItemPtr& item : group)
            if (item->defaultTicked && !item->blocked)
                setTicked(*item, true);
    m_model->clear();
    m_model->setHorizontalHeaderLabels({QString(), QStringLiteral("Name"), QStringLiteral("Size")});
    for (const AMAppGroup& group : groups) {
        if (group.isEmpty())
            continue;
        QList<QStandardItem*> row{new QStandardItem, new QStandardItem, new QStandardItem};
        for (const AMAppItemPtr& item : group) {
            QList<QStandardItem*> child{new QStandardItem, new QStandardItem, new QStandardItem};
            child[Name]->setData(UninstallTableModel::iconOf(*item).scaled(24, 24, Qt::KeepAspectRatio,
                                                                           Qt::SmoothTransformation),
                                 Qt::DecorationRole);
            child[Name]->setData(QSize(0, kRowHeight), Qt::SizeHintRole);
            row[0]->appendRow(child);
        }
        row[Name]->setText(group.first()->name);
        row[Name]->setData(UninstallTableModel::iconOf(*group.first()).scaled(24, 24, Qt::KeepAspectRatio,
                                                                               Qt::SmoothTransformation),
                           Qt::DecorationRole);
        row[Name]->setData(QSize(0, kRowHeight), Qt::SizeHintRole);
        m_model->appendRow(row);
    }
    ui->outlineView->setupHeaderCell();
    ui->outlineView->header()->show();
    ui->outlineView->header()->resizeSection(CheckBox, 60);
    ui->outlineView->header()->resizeSection(Name, 500);
    if (m_model->rowCount() > 0)
        ui->outlineView->expandRecursively(m_model->index(0, 0));
    reloadOutline();
    fitPlanLine();
}

bool MakeSureUninstallViewController::planPending() const
{
    for (const AMAppGroup& group : m_allRelaltedFiles)
        for (const AMAppItemPtr& item : group)
            if (item->kind == AppKind::Package && item->planPending)
                return true;
    return false;
}

void MakeSureUninstallViewController::planArrived()
{
    // A package the plan refuses cannot go: its box empties and stays so.
    for (const AMAppGroup& group : m_allRelaltedFiles)
        for (const AMAppItemPtr& item : group)
            if (item->blocked)
                m_ticked.remove(item.get());
    reloadOutline();
    fitPlanLine();
}

QString MakeSureUninstallViewController::planLine(bool all) const
{
    // Every package the package manager would remove, named before anything goes.
    QStringList packages;
    for (const AMAppGroup& group : m_allRelaltedFiles) {
        for (const AMAppItemPtr& item : group) {
            if (item->kind != AppKind::Package || item->blocked || !(all || m_ticked.contains(item.get())))
                continue;
            if (item->planPending)
                return kPlanWorkingOut;
            for (const QString& p : std::as_const(item->alsoRemoves))
                if (!packages.contains(p))
                    packages << p;
        }
    }
    return packages.isEmpty() ? QString()
                              : QStringLiteral("Packages to be removed: %1").arg(packages.join(QStringLiteral(", ")));
}

void MakeSureUninstallViewController::fitPlanLine()
{
    // The whole plan is read before anything goes: the panel grows to hold it.
    const QString shown = ui->planLabel->text();
    const QString longest = planLine(true);
    ui->planLabel->setText(longest);
    const int planHeight = longest.isEmpty() ? 0 : ui->planLabel->heightForWidth(ui->planLabel->width());
    ui->planLabel->setText(shown);
    const int extra = planHeight - ui->planLabel->height();
    if (extra <= 0)
        return;
    ui->planLabel->resize(ui->planLabel->width(), planHeight);
    ui->cancelButton->move(ui->cancelButton->x(), ui->cancelButton->y() + extra);
    ui->uninstallButton->move(ui->uninstallButton->x(), ui->uninstallButton->y() + extra);
    resize(width(), height() + extra);
    setMinimumHeight(height());
    // Already open: its panel is laid out again around the taller view, where it stood.
    if (StatusAttachedWindow* panel = superDelegate()) {
        const QPoint centre = panel->geometry().center();
        panel->setPoint(panel->point(), panel->side());
        QRect frame = panel->geometry();
        frame.moveCenter(centre);
        panel->move(frame.topLeft());
    }
}

AMAppItemList MakeSureUninstallViewController::selectDeletePath() const
{
    AMAppItemList ticked;
    for (const AMAppGroup& group : m_allRelaltedFiles)
        for (const AMAppItemPtr& item : group)
            if (m_ticked.contains(item.get()) && !ticked.contains(item))
                ticked << item;
    return ticked;
}

AMAppItemList MakeSureUninstallViewController::keptRecords() const
{
    // A file the finder did not propose (a name merely alike) is not news.
    AMAppItemList kept;
    for (const AMAppGroup& group : m_allRelaltedFiles)
        for (qsizetype i = 0; i < group.size(); ++i)
            if (!m_ticked.contains(group[i].get()) && (i == 0 || group[i]->defaultTicked) && !kept.contains(group[i]))
                kept << group[i];
    return kept;
}

QString MakeSureUninstallViewController::groupPicture(int group) const
{
    const AMAppGroup& g = m_allRelaltedFiles.at(group);
    int count = 0;
    for (const AMAppItemPtr& item : g)
        count += m_ticked.contains(item.get()) ? 1 : 0;
    if (count == 0)
        return QStringLiteral("checkbox_no");
    return count == g.size() ? QStringLiteral("checkbox_yes") : QStringLiteral("checkbox_election");
}

const AMAppGroup* MakeSureUninstallViewController::groupAt(const QModelIndex& index, int* record) const
{
    const QModelIndex parent = index.parent();
    const int group = parent.isValid() ? parent.row() : index.row();
    if (group < 0 || group >= m_allRelaltedFiles.size())
        return nullptr;
    *record = parent.isValid() ? index.row() : -1;
    return &m_allRelaltedFiles[group];
}

void MakeSureUninstallViewController::selectRemoveLanguage(const QModelIndex& index)
{
    int record = -1;
    const AMAppGroup* group = groupAt(index, &record);
    if (!group)
        return;
    auto tickable = [](const AMAppItemPtr& item) { return !item->blocked; };
    if (record >= 0) {
        const AMAppItemPtr& item = group->at(record);
        setTicked(*item, !m_ticked.contains(item.get()));
    } else {
        bool all = true;
        for (const AMAppItemPtr& item : *group)
            all = all && (m_ticked.contains(item.get()) || !tickable(item));
        for (const AMAppItemPtr& item : *group)
            setTicked(*item, !all);
    }
    reloadOutline();
}

void MakeSureUninstallViewController::setTicked(const AMAppItem& item, bool ticked)
{
    // Every row of the same package follows: the confirmation shows a
    // package that goes as going wherever it is listed.
    for (const AMAppGroup& group : std::as_const(m_allRelaltedFiles))
        for (const AMAppItemPtr& other : group) {
            if (!sameThing(item, *other))
                continue;
            if (ticked && !other->blocked)
                m_ticked.insert(other.get());
            else if (!ticked)
                m_ticked.remove(other.get());
        }
    if (ticked && !item.blocked)
        m_ticked.insert(&item);
}

void MakeSureUninstallViewController::clickButtonAction(CheckButtonCell* cell, const QModelIndex& index)
{
    (void)cell;
    selectRemoveLanguage(index);
}

void MakeSureUninstallViewController::reloadOutline()
{
    for (int g = 0; g < m_model->rowCount(); ++g) {
        QStandardItem* groupItem = m_model->item(g, CheckBox);
        groupItem->setData(platform::imageNamed(groupPicture(g)), Qt::DecorationRole);
        const AMAppGroup& group = m_allRelaltedFiles.at(g);
        uint64_t bytes = 0;
        bool pending = false;
        for (int r = 0; r < groupItem->rowCount() && r < group.size(); ++r) {
            const AMAppItem& item = *group[r];
            groupItem->child(r, CheckBox)
                ->setData(platform::imageNamed(m_ticked.contains(&item) ? QStringLiteral("checkbox_yes")
                                                                        : QStringLiteral("checkbox_no")),
                          Qt::DecorationRole);
            // Texts and sizes follow the records: a plan may have come in.
            const QString text = recordText(item);
            const QString size = sizeTextOf(item);
            groupItem->child(r, Name)->setText(text);
            groupItem->child(r, Name)->setToolTip(plainToolTip(text));
            groupItem->child(r, Size)->setText(size);
            pending = pending || (item.kind == AppKind::Package && item.planPending);
            // What goes: the group's size counts its ticked rows only.
            if (m_ticked.contains(&item))
                bytes += hasPlan(item) ? item.planBytes : RelatedAppFilesScanner::bytesOf(item.size);
        }
        m_model->item(g, Size)->setText(pending ? kWorkingOut : RelatedAppFilesScanner::sizeText(bytes));
    }
    ui->planLabel->setText(planLine(false));
    // Nothing goes before the user has seen what the package manager would take.
    ui->uninstallButton->setButtonEnabled(!m_ticked.isEmpty() && !planPending());
    // Every change shows at once, whatever the view made of the model's signals.
    ui->outlineView->viewport()->update();
    m_ring->follow();
}

void MakeSureUninstallViewController::clickedDeleteBtn()
{
    const AMAppItemList ticked = selectDeletePath();
    if (ticked.isEmpty() || planPending())
        return;
    const AMAppItemList kept = keptRecords();
    MakeSureUninstallVCDelegate* delegate = m_delegate;
    closePanel();
    if (delegate)
        delegate->uninstallConfirmed(ticked, kept);
}

void MakeSureUninstallViewController::clickedCancelBtn()
{
    closePanel();
}
