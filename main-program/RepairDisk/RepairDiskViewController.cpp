#include "RepairDisk/RepairDiskViewController.h"

#include "Comm/FontCache.h"
#include "Comm/VolumeIdentity.h"
#include "Comm/WatchMountUnmount.h"
#include "Main/Tools/CustomTableView.h"
#include "RepairDisk/CVolumeMgr.h"
#include "RepairDisk/RepairDiskTableCellView.h"
#include "ToolCon/TextImageButton.h"
#include "platform/Background.h"
#include "platform/ImageStore.h"
#include "platform/NotificationCenter.h"
#include "platform/Workspace.h"
#include "ui_RepairDiskViewController.h"

#include <QTextDocument>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTimer>

#include <atomic>

namespace {

// One rescan per window for the whole process; a request inside the window
// is kept and run when it ends, so the last change is never missed.
std::atomic<int> g_rescanWindowMs{1000};
QElapsedTimer& lastRescan()
{
    static QElapsedTimer timer;
    return timer;
}

// "MS-DOS FAT32" and its kin, not ExFAT: their labels are upper case, 11 characters.
bool isDosFat(const QString& type)
{
    const QString lower = type.toLower();
    return lower.contains(QLatin1String("fat")) && !lower.contains(QLatin1String("exfat"));
}

bool isExFat(const QString& type) { return type.toLower().contains(QLatin1String("exfat")); }

constexpr int kExFatNameMax = 11;

QString exFatTooLong(const QString& name)
{
    return QStringLiteral("The name \"%1\" is too long: ExFAT names have at most %2 characters.").arg(name).arg(kExFatNameMax);
}

// MS-DOS FAT labels are in the old DOS code page: plain printable ASCII only.
QString dosFatRefusal(const QString& name)
{
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return QStringLiteral("The name \"%1\" cannot be used: MS-DOS FAT names can hold only plain ASCII "
                                  "characters, without accents, other scripts or control characters.")
                .arg(name);
    return QString();
}

QString nameChangedNote(const QString& name)
{
    return QStringLiteral("MS-DOS FAT names are at most 11 characters in capitals, so the volume is now named \"%1\".").arg(name);
}

// One line of the tool's as a sentence: a capital when it starts with a plain
// word (a device name such as "sdb1" stays as it is), a full stop at the end.
QString asSentence(QString line)
{
    line = line.trimmed();
    const QString firstWord = line.section(QLatin1Char(' '), 0, 0);
    bool plainWord = !firstWord.isEmpty();
    for (const QChar c : firstWord)
        plainWord = plainWord && c.isLetter();
    if (plainWord && line.at(0).isLower())
        line[0] = line.at(0).toUpper();
    if (!line.isEmpty() && !line.endsWith('.') && !line.endsWith('!') && !line.endsWith('?'))
        line += '.';
    return line;
}

// What the user is shown of a failed command: the tool's reason as whole
// sentences, each said once.
QString reasonOf(const platform::CommandResult& r)
{
    if (!r.started)
        return QStringLiteral("diskutil could not be started.");
    if (r.timedOut)
        return QStringLiteral("diskutil did not finish in time.");
    QByteArray text = r.errors.trimmed().isEmpty() ? r.output : r.errors;
    QStringList sentences;
    for (const QString& line : QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts)) {
        const QString s = asSentence(line);
        if (!s.isEmpty() && !sentences.contains(s))
            sentences << s;
    }
    if (sentences.isEmpty())
        return QStringLiteral("diskutil ended with status %1.").arg(r.exitCode);
    return sentences.join(' ');
}

// The same volume in two scans: the same device holding the same medium.
bool isSameVolume(const VolumeObj& a, const VolumeObj& b)
{
    return a.volumePath == b.volumePath && a.diskSequence == b.diskSequence;
}

const char* failureTitle(const QString& action)
{
    if (action == QLatin1String("mount")) return "The volume could not be mounted";
    if (action == QLatin1String("unmount")) return "The volume could not be unmounted";
    if (action == QLatin1String("eject")) return "The disk could not be ejected";
    if (action == QLatin1String("rename")) return "The volume could not be renamed";
    return "The command failed";
}

void setUpRowButton(TextImageButton* button, const QString& title)
{
    button->setImageFromFileNormalName(QStringLiteral("btn_s_normal"), QStringLiteral("btn_s_normal"),
                                       QStringLiteral("btn_s_hover"), QStringLiteral("btn_s_disable"));
    button->setTextWithName(title, 12);
}

}  // namespace

RepairDiskViewController::RepairDiskViewController(QWidget* parent, platform::DiskTool tool)
    : QWidget(parent), ui(std::make_unique<Ui::RepairDiskViewController>()), m_tool(std::move(tool))
{
    ui->setupUi(this);
    ui->titleLabel->setFont(FontCache::regularFont(FontCache::kScreenTitleSize));
    m_model = new QStandardItemModel(0, 1, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("Name")});
    CustomTableView* table = ui->parTableView;
    table->setModel(m_model);
    table->horizontalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The rows draw their own highlight, 88 points high.
    table->setRowNum(-1);
    ui->loadPro->hide();

    m_watchMu = new WatchMountUnmount(this);
    m_watchMu->registerNotifications();
    auto& centre = platform::NotificationCenter::defaultCenter();
    centre.observe(this, MCVolumeMountNotification, [this](const QVariantMap&) { getallVolumes(); });
    centre.observe(this, MCVolumeUnmountNotification, [this](const QVariantMap&) { getallVolumes(); });
    // A scan the enumeration put off ran later: its list is the newest.
    centre.observe(this, CVolumeMgrVolumesNotification, [this](const QVariantMap& info) {
        QList<QVariantMap> descriptions;
        for (const QVariant& v : info.value(QStringLiteral("volumes")).toList())
            descriptions << v.toMap();
        const quint64 serial = info.value(QStringLiteral("serial")).toULongLong();
        if (m_isScanV) {
            // Our own scan ends later and takes whichever list is newer.
            if (!m_announced || m_announced->second < serial)
                m_announced = std::make_pair(descriptions, serial);
            return;
        }
        installVolumes(descriptions, serial);
    });
    CustomTableView* list = ui->parTableView;
    // The list takes the keyboard: arrows move its ring, Space or Return opens the row.
    list->setFocusPolicy(Qt::StrongFocus);
    list->setTabKeyNavigation(false);
    list->installEventFilter(this);
}

RepairDiskViewController::~RepairDiskViewController() = default;

void RepairDiskViewController::setRescanThrottleWindow(int ms) { g_rescanWindowMs = ms; }

void RepairDiskViewController::setDialogDelays(int firstAidStartMs, int formatEndMs)
{
    m_firstAidStartMs = firstAidStartMs;
    m_formatEndMs = formatEndMs;
}

CustomTableView* RepairDiskViewController::parTableView() const { return ui->parTableView; }
QProgressBar* RepairDiskViewController::loadPro() const { return ui->loadPro; }

RepairDiskTableCellView* RepairDiskViewController::cellView(int row) const { return m_cells.value(row); }

// --- Scanning ---------------------------------------------------------------

int RepairDiskViewController::requestScan()
{
    getallVolumes();
    return m_requests;
}

void RepairDiskViewController::getallVolumes()
{
    // Whatever asked, the change that asked is seen only by a scan that
    // starts from here on.
    m_waitingRequests.append({++m_requests, CVolumeMgr::scansStarted()});
    QElapsedTimer& last = lastRescan();
    const int window = g_rescanWindowMs;
    if (m_isScanV || (last.isValid() && last.elapsed() < window)) {
        // Kept, not dropped: a rename unmounts and mounts within a second,
        // and the list must end up showing the second change too.
        if (!m_rescanPending) {
            m_rescanPending = true;
            const int wait = last.isValid() ? std::max<int>(0, window - int(last.elapsed())) : 0;
            QTimer::singleShot(wait + 1, this, [this] {
                if (!m_rescanPending || m_isScanV)
                    return;  // the scan's end takes it up
                m_rescanPending = false;
                getallVolumes();
            });
        }
        return;
    }
    last.start();
    m_rescanPending = false;
    m_isScanV = true;
    // The rows stay until the new list is in: every mount anywhere rescans,
    // and a list that empties each time moves under the user's hand.
    ui->loadPro->show();

    platform::DiskTool tool = m_tool;
    platform::runInBackground(
        this,
        [tool] {
            CVolumeMgr mgr(std::make_shared<DiskToolVolumeSource>(tool));
            quint64 serial = 0;
            QList<QVariantMap> list = mgr.enumDiskVolumesInfo(&serial);
            return std::make_pair(list, serial);
        },
        [this](std::pair<QList<QVariantMap>, quint64> scanned) {
            // The enumeration may have answered with the list of a scan that
            // began before our request; the one it announced since is newer.
            if (m_announced && m_announced->second > scanned.second)
                scanned = *m_announced;
            m_announced.reset();
            installVolumes(scanned.first, scanned.second);
            if (m_rescanPending) {
                m_rescanPending = false;
                getallVolumes();
            }
        });
}

void RepairDiskViewController::installVolumes(const QList<QVariantMap>& descriptions, quint64 serial)
{
    if (serial < m_installedSerial) {
        // Older than the list on screen: only the scan's end counts.
        m_isScanV = false;
        ui->loadPro->hide();
        return;
    }
    m_installedSerial = serial;
    while (!m_waitingRequests.isEmpty() && m_waitingRequests.first().second < serial)
        m_coveredRequest = m_waitingRequests.takeFirst().first;
    QList<VolumeObjPtr> fresh;
    m_systemFlags.clear();
    for (const QVariantMap& d : descriptions) {
        VolumeObjPtr v = CVolumeMgr::volumeObjFromDescription(d);
        m_systemFlags.insert(v->volumePath, SystemFlags{d.value(QStringLiteral("SystemVolume")).toBool(),
                                                        d.value(QStringLiteral("SystemDisk")).toBool()});
        fresh << v;
    }
    const bool firstList = m_allVolumeArr.isEmpty();
    // Where each row is on screen now: a row that ends elsewhere (the list
    // shrank under a scrolled view, a row above opened or closed) is one
    // the pointer may be on by mistake.
    QList<std::pair<VolumeObjPtr, int>> placesBefore;
    for (int row = 0; row < m_allVolumeArr.size(); ++row)
        placesBefore.append({m_allVolumeArr.at(row), ui->parTableView->rowViewportPosition(row)});
    // In place: a volume still there keeps its row, a gone one's row goes
    // (the rows below it move up, so they count as changed under the
    // pointer), a new one is added at the end. Nothing is emptied or sorted.
    for (int row = int(m_allVolumeArr.size()) - 1; row >= 0; --row) {
        qsizetype match = -1;
        for (qsizetype i = 0; i < fresh.size() && match < 0; ++i)
            if (isSameVolume(*m_allVolumeArr.at(row), *fresh.at(i)))
                match = i;
        if (match >= 0) {
            m_allVolumeArr[row] = fresh.takeAt(match);
            continue;
        }
        m_allVolumeArr.removeAt(row);
        m_rowChangedAt.removeAt(row);
        if (row < m_cells.size())
            m_cells.removeAt(row);  // the view lets the row's cell go with it
        m_model->removeRow(row);
        markRowsChanged(row, int(m_allVolumeArr.size()));
    }
    if (!fresh.isEmpty()) {
        const int first = int(m_allVolumeArr.size());
        m_allVolumeArr.append(fresh);
        m_rowChangedAt.resize(m_allVolumeArr.size());
        m_model->setRowCount(int(m_allVolumeArr.size()));
        // The first list is not a change under anyone's pointer.
        if (!firstList)
            markRowsChanged(first, int(m_allVolumeArr.size()));
    }

    // The chosen volume stays chosen while it is there. The first list
    // opens its first row; a chosen volume that went leaves nothing open, so
    // no row grows under the pointer.
    qsizetype kept = -1;
    if (m_selectVolume) {
        for (qsizetype i = 0; i < m_allVolumeArr.size() && kept < 0; ++i)
            if (isSameVolume(*m_allVolumeArr.at(i), *m_selectVolume))
                kept = i;
    }
    // So does a name being typed for it: a mount elsewhere is no reason to
    // throw it away.
    const bool renaming = m_isRenameEdit && m_renameTarget;
    const bool stillRenaming = renaming && kept >= 0 && isSameVolume(*m_renameTarget, *m_allVolumeArr.at(kept));
    const VolumeObjPtr renameTarget = m_renameTarget;
    const QString typed = m_editStr;
    ui->loadPro->hide();
    if (kept >= 0) {
        m_selectIndex = int(kept);
        m_selectVolume = m_allVolumeArr.at(kept);
    } else if (firstList || !m_selectVolume) {
        m_selectIndex = 0;
        m_selectVolume = firstList ? m_allVolumeArr.value(0) : nullptr;
    } else {
        m_selectIndex = 0;
        m_selectVolume.reset();
    }
    endRenaming();
    m_isScanV = false;
    if (stillRenaming) {
        m_isRenameEdit = true;
        m_renameTarget = m_selectVolume;
        m_editStr = typed;
    } else if (renaming) {
        // The rename ends without the user's word: say why.
        const QString name = renameTarget->volumeName;
        const QString device = renameTarget->volumePath;
        QMetaObject::invokeMethod(
            this,
            [this, name, device] {
                showNotice(QStringLiteral("The rename was stopped"),
                           QStringLiteral("\"%1\" is no longer at %2: the disk there now is another one, or none. "
                                          "Nothing was renamed.")
                               .arg(name, device));
            },
            Qt::QueuedConnection);
    }
    restoreFailedRename();
    if (m_keyRow >= m_allVolumeArr.size())
        m_keyRow = int(m_allVolumeArr.size()) - 1;
    reloadTable();
    if (!firstList) {
        CustomTableView* table = ui->parTableView;
        for (int row = 0; row < m_allVolumeArr.size(); ++row) {
            int before = -1;
            for (const auto& [old, y] : placesBefore)
                if (isSameVolume(*old, *m_allVolumeArr.at(row)))
                    before = y;
            if (before != table->rowViewportPosition(row)) {
                markRowsChanged(row, row + 1);
                if (RepairDiskTableCellView* cell = m_cells.value(row))
                    cell->settleFor(settleLeft(row));
            }
        }
    }
    emit volumesReloaded();
}

void RepairDiskViewController::markRowsChanged(int from, int to)
{
    if (!m_rowClock.isValid())
        m_rowClock.start();
    for (int row = from; row < to && row < m_rowChangedAt.size(); ++row)
        m_rowChangedAt[row] = m_rowClock.elapsed() + 1;
}

int RepairDiskViewController::settleLeft(int row) const
{
    if (!m_rowClock.isValid() || row < 0 || row >= m_rowChangedAt.size() || !m_rowChangedAt.at(row))
        return 0;
    return int(std::max<qint64>(0, kRowSettleMs - (m_rowClock.elapsed() + 1 - m_rowChangedAt.at(row))));
}

RepairDiskViewController::SystemFlags RepairDiskViewController::systemFlags(const VolumeObj& volume) const
{
    SystemFlags flags = m_systemFlags.value(volume.volumePath);
    // The root volume is the system's whatever the tool said.
    if (volume.volumeMountPoint == QLatin1String("/"))
        flags.volume = flags.disk = true;
    return flags;
}

// --- Table -------------------------------------------------------------------

int RepairDiskViewController::heightOfRow(int row) const { return row == m_selectIndex && m_selectVolume ? 88 : 48; }

void RepairDiskViewController::selectRow(int row)
{
    if (row < 0 || row >= m_allVolumeArr.size())
        return;
    m_keyRow = row;
    m_selectIndex = row;
    endRenaming();
    m_selectVolume = m_allVolumeArr.at(row);
    reloadTable();
}

void RepairDiskViewController::setKeyRow(int row)
{
    if (m_allVolumeArr.isEmpty())
        return;
    m_keyRow = std::clamp(row, 0, int(m_allVolumeArr.size()) - 1);
    CustomTableView* table = ui->parTableView;
    for (int r = 0; r < m_cells.size(); ++r)
        m_cells.at(r)->setFocusRing(r == m_keyRow && table->hasFocus());
    table->scrollTo(m_model->index(m_keyRow, 0));
}

void RepairDiskViewController::cancelRename()
{
    // Escape: nothing is renamed and the row shows its name again. A refusal
    // already said stays where it was said.
    m_failedRename.reset();
    endRenaming();
    reloadTable();
    focusRowButton(QStringLiteral("rename"));
}

bool RepairDiskViewController::eventFilter(QObject* watched, QEvent* event)
{
    CustomTableView* table = ui->parTableView;
    const QEvent::Type type = event->type();
    if (watched == table && (type == QEvent::FocusIn || type == QEvent::FocusOut)) {
        if (type == QEvent::FocusIn && m_keyRow < 0)
            m_keyRow = m_selectVolume ? m_selectIndex : 0;
        for (int r = 0; r < m_cells.size(); ++r)
            m_cells.at(r)->setFocusRing(r == m_keyRow && type == QEvent::FocusIn);
        return false;
    }
    if (type != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched != table) {
        // The rename field: Escape ends the rename with the old name.
        if (key->key() == Qt::Key_Escape && m_isRenameEdit && qobject_cast<QLineEdit*>(watched)) {
            cancelRename();
            return true;
        }
        return false;
    }
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    const int rows = int(m_allVolumeArr.size());
    if (rows == 0)
        return false;
    switch (key->key()) {
    case Qt::Key_Up: setKeyRow(m_keyRow < 0 ? rows - 1 : m_keyRow - 1); return true;
    case Qt::Key_Down: setKeyRow(m_keyRow < 0 ? 0 : m_keyRow + 1); return true;
    case Qt::Key_Home: setKeyRow(0); return true;
    case Qt::Key_End: setKeyRow(rows - 1); return true;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_keyRow < 0)
            m_keyRow = 0;
        // Keys aim where the ring is: no settling wait.
        if (!(m_selectVolume && m_keyRow == m_selectIndex))
            selectRow(m_keyRow);
        setKeyRow(m_keyRow);
        return true;
    default:
        return false;
    }
}

bool RepairDiskViewController::isVolumeMounted(const VolumeObj& v)
{
    if (v.volumeFreeSizeNum != 0 && v.diskType != QLatin1String("APFS"))
        return true;
    return !v.volumeMountPoint.isEmpty();
}

void RepairDiskViewController::reloadTable()
{
    // The rows and their cells stay; each cell is set again to the volume
    // of its row and placed at once, so no cell ever shows one volume while
    // it holds another, and the list keeps its scroll position.
    CustomTableView* table = ui->parTableView;
    QWidget* focused = window()->focusWidget();
    QString focusedButton;
    bool focusInRows = false;
    for (RepairDiskTableCellView* cell : std::as_const(m_cells)) {
        if (focused && cell->isAncestorOf(focused)) {
            focusInRows = true;
            if (qobject_cast<TextImageButton*>(focused))
                focusedButton = focused->objectName();
        }
    }
    if (m_model->rowCount() != m_allVolumeArr.size())
        m_model->setRowCount(int(m_allVolumeArr.size()));
    while (m_cells.size() > m_allVolumeArr.size())
        m_cells.removeLast();
    for (int row = 0; row < m_allVolumeArr.size(); ++row) {
        table->setRowHeight(row, heightOfRow(row));
        RepairDiskTableCellView* cell = m_cells.value(row);
        if (!cell || table->indexWidget(m_model->index(row, 0)) != cell) {
            cell = new RepairDiskTableCellView;
            table->setIndexWidget(m_model->index(row, 0), cell);
            if (row < m_cells.size())
                m_cells[row] = cell;
            else
                m_cells << cell;
        }
        configureCell(cell, row);
        cell->settleFor(settleLeft(row));
    }
    table->doItemsLayout();
    for (int row = 0; row < m_cells.size(); ++row)
        m_cells.at(row)->setFocusRing(row == m_keyRow && table->hasFocus());
    // A button that went away or was disabled under the keyboard leaves it
    // on the open row, not back at the start of the window.
    if (focusInRows && (!focused || !focused->isVisible() || !focused->isEnabled() || focused->focusPolicy() == Qt::NoFocus ||
                        !focused->hasFocus()))
        focusRowButton(focusedButton.isEmpty() ? m_keyButton : focusedButton);
}

void RepairDiskViewController::focusRowButton(const QString& identifier)
{
    RepairDiskTableCellView* cell = m_selectVolume ? m_cells.value(m_selectIndex) : nullptr;
    if (!cell) {
        ui->parTableView->setFocus(Qt::OtherFocusReason);
        return;
    }
    auto usable = [](QWidget* w) { return w && w->isVisibleTo(w->window()) && w->focusPolicy() != Qt::NoFocus && w->isEnabled(); };
    QWidget* target = nullptr;
    if (m_isRenameEdit)
        target = cell->editNameField();
    if (!target && usable(cell->button(identifier)))
        target = cell->button(identifier);
    for (TextImageButton* b : cell->buttons())
        if (!target && usable(b))
            target = b;
    (target ? target : static_cast<QWidget*>(ui->parTableView))->setFocus(Qt::OtherFocusReason);
}

void RepairDiskViewController::pressRow(int row)
{
    if (row < 0 || row >= m_allVolumeArr.size() || (row == m_selectIndex && m_selectVolume) || settleLeft(row) > 0)
        return;
    // The row that opens grows by its buttons and the one that closes
    // shrinks: the list scrolls by the difference, so the pressed row stays
    // under the pointer with its buttons below it.
    CustomTableView* table = ui->parTableView;
    const int before = table->rowViewportPosition(row);
    const int wasOpen = m_selectVolume ? m_selectIndex : -1;
    selectRow(row);
    QScrollBar* bar = table->verticalScrollBar();
    bar->setValue(bar->value() + table->rowViewportPosition(row) - before);
    if (table->rowViewportPosition(row) != before) {
        // Too near the top to scroll: the rows from the one that closed
        // down moved under the pointer, so they take no press for a moment.
        markRowsChanged(wasOpen >= 0 ? std::min(wasOpen, row) : row, int(m_allVolumeArr.size()));
        for (int r = 0; r < m_cells.size(); ++r)
            m_cells.at(r)->settleFor(settleLeft(r));
    }
}

void RepairDiskViewController::configureCell(RepairDiskTableCellView* cell, int row)
{
    const VolumeObjPtr v = m_allVolumeArr.at(row);
    const bool selected = m_selectVolume && row == m_selectIndex;
    const bool renamingHere = selected && m_isRenameEdit;
    cell->resize(ui->parTableView->viewport()->width() - 10, heightOfRow(row));
    cell->setIsSelect(selected);
    cell->setVolume(v);
    // A reused cell: what it was wired to for its last volume goes.
    disconnect(cell, nullptr, this, nullptr);
    for (TextImageButton* b : cell->buttons())
        disconnect(b, nullptr, this, nullptr);
    disconnect(cell->editNameField(), nullptr, this, nullptr);
    connect(cell, &RepairDiskTableCellView::pressed, this, [this, cell] {
        const int r = int(m_allVolumeArr.indexOf(cell->volume()));
        if (r >= 0)
            pressRow(r);
    });

    const QString icon = v->bCanEject ? QStringLiteral("ic_usb")
        : v->volumeMountPoint == QLatin1String("/") ? QStringLiteral("ic_os")
                                                    : QStringLiteral("ic_disk");
    cell->iconView()->setPixmap(platform::imageNamed(icon, cell->iconView()->size()));

    const bool mounted = isVolumeMounted(*v);
    const SystemFlags system = systemFlags(*v);
    if (selected)
        m_isMount = mounted;
    struct Row
    {
        const char* id;
        QString title;
        void (RepairDiskViewController::*action)();
        bool disabled;
    };
    const Row rows[] = {
        {"save", QStringLiteral("Save"), &RepairDiskViewController::saveButtonAction, false},
        {"open", QStringLiteral("Open"), &RepairDiskViewController::OpenButtonAction, renamingHere || !mounted},
        {"mount", mounted ? QStringLiteral("Unmount") : QStringLiteral("Mount"),
         &RepairDiskViewController::mountButtonAction, renamingHere || !v->bCanEject || system.volume},
        {"fristaid", QStringLiteral("First Aid"), &RepairDiskViewController::aidtButAction,
         renamingHere || !mounted || system.volume},
        {"rename", QStringLiteral("Rename"), &RepairDiskViewController::renameButtonAction, renamingHere || !mounted},
        {"format", QStringLiteral("Format"), &RepairDiskViewController::formatButtonAction,
         renamingHere || v->volumeMountPoint == QLatin1String("/") || !mounted || system.volume},
        {"eject", QStringLiteral("Eject"), &RepairDiskViewController::ejectButtonAction,
         renamingHere || !v->bCanEject || system.disk},
    };
    for (const Row& r : rows) {
        TextImageButton* b = cell->button(QLatin1String(r.id));
        setUpRowButton(b, r.title);
        b->setButtonEnabled(!r.disabled);
        const bool isSave = QLatin1String(r.id) == QLatin1String("save");
        b->setVisible(selected && (!isSave || renamingHere));
        auto action = r.action;
        const QString id = QLatin1String(r.id);
        connect(b, &QAbstractButton::clicked, this, [this, cell, id, action] { queueRowAction(cell->volume(), id, action); });
    }

    // A label is the volume's, not ours: shown as it stands, never as markup.
    cell->nameField()->setTextFormat(Qt::PlainText);
    cell->nameField()->setText(v->volumeName);
    cell->nameField()->setToolTip(Qt::convertFromPlainText(v->volumeName));
    cell->nameField()->setVisible(!renamingHere);

    const QString type = v->diskType.isEmpty() || v->diskType.contains(QLatin1String("null")) ? QStringLiteral("Unknow")
                                                                                               : v->diskType;
    cell->typeField()->setTextFormat(Qt::PlainText);
    cell->typeField()->setText(type);
    cell->typeField()->setToolTip(Qt::convertFromPlainText(type));

    const QString size = QStringLiteral("%1 / %2").arg(v->volumeFreeSize, v->volumeTotalSize);
    const QFont bold = FontCache::boldFont(12);
    cell->sizeField()->setTextFormat(Qt::RichText);
    cell->sizeField()->setText(QStringLiteral("<span style=\"font-family:'%1'; font-size:12px; font-weight:bold\">%2</span>%3")
                                   .arg(bold.family().toHtmlEscaped(), v->volumeFreeSize.toHtmlEscaped(),
                                        size.mid(v->volumeFreeSize.size()).toHtmlEscaped()));
    cell->sizeField()->setToolTip(size);

    cell->editNameView()->setVisible(renamingHere);
    QLineEdit* field = cell->editNameField();
    field->setFont(FontCache::lightFont(15));
    field->setText(renamingHere && !m_editStr.isEmpty() ? m_editStr : v->volumeName);
    connect(field, &QLineEdit::textEdited, this, &RepairDiskViewController::controlTextDidChange);
    connect(field, &QLineEdit::returnPressed, this,
            [this, cell] { queueRowAction(cell->volume(), QStringLiteral("rename"), &RepairDiskViewController::saveButtonAction); });
    field->installEventFilter(this);
    if (renamingHere)
        QTimer::singleShot(0, field, [field] { field->setFocus(); });
}

void RepairDiskViewController::queueRowAction(const VolumeObjPtr& volume, const QString& identifier,
                                              void (RepairDiskViewController::*action)())
{
    // Run from the event loop, never inside the row widget's own handler: an
    // action may open a modal dialog, and the rescans that run inside it
    // rebuild every row, the pressed button's included. A press on a volume
    // that is no longer the selected one does nothing.
    QMetaObject::invokeMethod(
        this,
        [this, volume, identifier, action] {
            if (!volume || !m_selectVolume || !isSameVolume(*m_selectVolume, *volume))
                return;
            m_keyButton = identifier;
            const QPointer<RepairDiskViewController> alive(this);
            (this->*action)();
            // The keyboard stays on the row's buttons, also after a dialog.
            if (alive && (!m_isRenameEdit || identifier != QLatin1String("rename")))
                focusRowButton(identifier == QLatin1String("save") ? QStringLiteral("rename") : identifier);
        },
        Qt::QueuedConnection);
}

// --- Commands -----------------------------------------------------------------

void RepairDiskViewController::openPanel(PanelController* controller, PanelAnchor anchor, int side, double distance)
{
    if (m_panelRunner)
        m_panelRunner(controller, anchor, side, distance);
    else
        runModalPanel(controller, window(), anchor, side, distance);
}

void RepairDiskViewController::runAction(const QString& action, const QStringList& args,
                                         std::function<void(bool, const QString&)> done)
{
    platform::DiskTool tool = m_tool;
    platform::runInBackground(
        this, [tool, args] { return tool.run(args); },
        [this, action, done](platform::CommandResult r) {
            const bool ok = r.ok();
            const QString reason = ok ? QString() : reasonOf(r);
            if (done)
                done(ok, reason);
            emit actionEnded(action, ok, reason);
            if (!ok)
                showActionFailure(action, reason);
        });
}

void RepairDiskViewController::showActionFailure(const QString& action, const QString& reason)
{
    showNotice(QLatin1String(failureTitle(action)), reason);
}

void RepairDiskViewController::showNotice(const QString& title, const QString& text)
{
    auto* notice = new DiskActionFailedViewController(title, text);
    m_failureVC = notice;
    openPanel(notice, PanelAnchor::LeftOfLowerMiddle, 1, 5);
}

void RepairDiskViewController::OpenButtonAction()
{
    if (!m_selectVolume || m_selectVolume->volumeMountPoint.isEmpty())
        return;
    const QString folder = m_selectVolume->volumeMountPoint;
    // As the person at the desktop, never as root.
    const bool opened = m_opener ? m_opener(folder) : platform::openFile(folder);
    if (!opened)
        showActionFailure(QStringLiteral("open"), QStringLiteral("No file manager could open %1.").arg(folder));
}

void RepairDiskViewController::mountButtonAction()
{
    const VolumeObjPtr v = m_selectVolume;
    if (!v || v->volumePath.isEmpty())
        return;
    const bool wasMounted = isVolumeMounted(*v);
    m_isMount = !wasMounted;
    const QString verb = wasMounted ? QStringLiteral("unmount") : QStringLiteral("mount");
    runAction(verb, expectedMediumArguments(*v) + QStringList{verb, v->volumePath}, [this](bool, const QString&) { getallVolumes(); });
}

void RepairDiskViewController::ejectButtonAction()
{
    const VolumeObjPtr v = m_selectVolume;
    if (!v || v->volumePath.isEmpty())
        return;
    // By its device and medium: a UUID names every clone of a stick alike.
    runAction(QStringLiteral("eject"), expectedMediumArguments(*v) + QStringList{QStringLiteral("eject"), v->volumePath},
              [this](bool, const QString&) { getallVolumes(); });
}

void RepairDiskViewController::renameButtonAction()
{
    if (!m_selectVolume)
        return;
    m_editStr.clear();
    m_isRenameEdit = true;
    m_renameTarget = m_selectVolume;
    reloadTable();
}

void RepairDiskViewController::controlTextDidChange(const QString& text)
{
    if (RepairDiskTableCellView* cell = cellView(m_selectIndex))
        cell->editNameField()->setFont(FontCache::lightFont(15));
    m_editStr = text;
}

void RepairDiskViewController::endRenaming()
{
    m_isRenameEdit = false;
    m_editStr.clear();
    m_renameTarget.reset();
}

void RepairDiskViewController::saveButtonAction()
{
    const VolumeObjPtr v = m_renameTarget ? m_renameTarget : m_selectVolume;
    const QString typed = m_editStr;
    endRenaming();
    if (!v || typed.isEmpty() || typed == QLatin1String(" ")) {
        reloadTable();
        return;
    }
    QString name = typed;
    if (isDosFat(v->diskType))
        name = name.toUpper().left(11);
    const QString device = v->volumePath;
    const QString refusal = isExFat(v->diskType) && name.size() > kExFatNameMax ? exFatTooLong(name)
                            : isDosFat(v->diskType)                               ? dosFatRefusal(name)
                                                                                  : QString();
    if (!refusal.isEmpty()) {
        m_failedRename = FailedRename{device, typed};
        restoreFailedRename();
        reloadTable();
        const QString reason = refusal;
        emit actionEnded(QStringLiteral("rename"), false, reason);
        showActionFailure(QStringLiteral("rename"), reason);
        return;
    }
    reloadTable();
    runAction(QStringLiteral("rename"), expectedMediumArguments(*v) + QStringList{QStringLiteral("rename"), device, name},
              [this, v, name, device, typed](bool ok, const QString&) {
                  if (ok) {
                      v->volumeName = name;
                      reloadTable();
                      getallVolumes();  // the mount point follows the name
                      // The file system took another name than the one typed:
                      // say so, or the user believes the row is wrong.
                      if (name != typed)
                          QMetaObject::invokeMethod(
                              this,
                              [this, name] {
                                  showNotice(QStringLiteral("The name was changed"), nameChangedNote(name));
                              },
                              Qt::QueuedConnection);
                      return;
                  }
                  // The typed name stays in the field for another try.
                  // A scan that ends later keeps it, as it keeps any rename
                  // in progress.
                  m_failedRename = FailedRename{device, typed};
                  restoreFailedRename();
                  reloadTable();
              });
}

void RepairDiskViewController::restoreFailedRename()
{
    if (!m_failedRename)
        return;
    const FailedRename failed = *m_failedRename;
    m_failedRename.reset();
    for (int row = 0; row < m_allVolumeArr.size(); ++row) {
        if (m_allVolumeArr.at(row)->volumePath != failed.device)
            continue;
        m_selectIndex = row;
        m_selectVolume = m_allVolumeArr.at(row);
        m_isRenameEdit = true;
        m_renameTarget = m_selectVolume;
        m_editStr = failed.typed;
        return;
    }
}

// --- Format ---------------------------------------------------------------------

void RepairDiskViewController::formatButtonAction()
{
    if (!m_selectVolume)
        return;
    m_formatTarget = m_selectVolume;
    auto* dialog = new MakeSureFormatViewController;
    dialog->setDelegate(this);
    m_makeSureFormatVC = dialog;
    dialog->setName(m_formatTarget->volumeName, m_formatTarget->diskType);
    openPanel(dialog, PanelAnchor::LeftOfLowerMiddle, 1, 5);
}

void RepairDiskViewController::makeSureToFormatSelectVolumeWithName(const QString& typedName, const QString& type)
{
    const VolumeObjPtr v = m_formatTarget;
    QString changedName;  // the name the format gave when it is not the one typed
    auto finish = [this, &changedName](bool ok, const QString& reason) {
        if (m_makeSureFormatVC)
            m_makeSureFormatVC->closeWindow();
        m_formatTarget.reset();
        const QString said = ok && !changedName.isEmpty() ? nameChangedNote(changedName) : reason;
        QTimer::singleShot(m_formatEndMs, this, [this, ok, said] { showFormatEndWindow(ok, said); });
    };
    if (!v || v->volumePath.isEmpty()) {
        finish(false, QStringLiteral("The volume is no longer there."));
        return;
    }
    // No APFS here: a volume is either NTFS (made FAT32, as always) or
    // erased as the chosen type.
    QStringList args;
    if (v->diskType.toLower().contains(QLatin1String("ntfs"))) {
        args = {QStringLiteral("eraseVolume"), QString::fromLatin1(MakeSureFormatViewController::kNtfsRoadType),
                QString::fromLatin1(MakeSureFormatViewController::kNtfsRoadName), v->volumePath};
    } else {
        QString name = typedName.isEmpty() || typedName == QLatin1String(" ") ? QStringLiteral("NEW") : typedName;
        if (isDosFat(type))
            name = name.toUpper().left(11);
        if (isExFat(type) && name.size() > kExFatNameMax) {
            finish(false, exFatTooLong(name));
            return;
        }
        if (const QString refusal = isDosFat(type) ? dosFatRefusal(name) : QString(); !refusal.isEmpty()) {
            finish(false, refusal);
            return;
        }
        if (name != typedName && !(typedName.isEmpty() || typedName == QLatin1String(" ")))
            changedName = name;
        args = {QStringLiteral("eraseVolume"), type, name, v->volumePath};
    }
    args = expectedMediumArguments(*v) + args;
    platform::DiskTool tool = m_tool;
    platform::runInBackground(
        this, [tool, args] { return tool.run(args); },
        [this, changedName](platform::CommandResult r) {
            if (m_makeSureFormatVC)
                m_makeSureFormatVC->closeWindow();
            m_formatTarget.reset();
            const bool ok = r.ok();
            const QString said = !ok ? reasonOf(r) : changedName.isEmpty() ? QString() : nameChangedNote(changedName);
            QTimer::singleShot(m_formatEndMs, this, [this, ok, said] { showFormatEndWindow(ok, said); });
        });
}

void RepairDiskViewController::showFormatEndWindow(bool succeeded, const QString& reason)
{
    emit actionEnded(QStringLiteral("format"), succeeded, reason);
    auto* end = new FormatEndViewController;
    end->setOutcome(succeeded, reason);
    m_formatEndVC = end;
    getallVolumes();
    const QPointer<RepairDiskViewController> alive(this);
    openPanel(end, PanelAnchor::LeftOfLowerMiddle, 1, 5);
    if (alive)
        m_isScanV = false;
}

// --- First Aid ------------------------------------------------------------------

void RepairDiskViewController::aidtButAction()
{
    if (!m_selectVolume)
        return;
    m_aidTarget = m_selectVolume;
    auto* dialog = new FristAidViewController;
    dialog->setDelegate(this);
    dialog->changeAidDiskName(m_aidTarget->volumeName);
    m_fristAidVC = dialog;
    openPanel(dialog, PanelAnchor::LowerMiddle, 3, 0);
}

// The confirmation's button handler is still on the stack: the progress
// dialog's modal run starts once it has returned.
void RepairDiskViewController::checkDiskAction()
{
    QMetaObject::invokeMethod(this, [this] { startFirstAid(false); }, Qt::QueuedConnection);
}

void RepairDiskViewController::repairDiskAction()
{
    QMetaObject::invokeMethod(this, [this] { startFirstAid(true); }, Qt::QueuedConnection);
}

void RepairDiskViewController::startFirstAid(bool repair)
{
    m_chunkCount = 0;
    auto* progress = new ShowAidViewControllrt;
    progress->setDelegate(this);
    m_showAidVC = progress;
    QTimer::singleShot(m_firstAidStartMs, this, [this, repair] {
        if (repair)
            dorepairDiskAction();
        else
            doCheckDiskAction();
    });
    if (repair)
        openPanel(progress, PanelAnchor::LowerMiddle, 3, 0);
    else
        openPanel(progress, PanelAnchor::LeftOfLowerMiddle, 1, 5);
}

void RepairDiskViewController::doCheckDiskAction() { streamFirstAid(QStringLiteral("verifyvolume")); }
void RepairDiskViewController::dorepairDiskAction() { streamFirstAid(QStringLiteral("repairvolume")); }

void RepairDiskViewController::streamFirstAid(const QString& verb)
{
    const VolumeObjPtr v = m_aidTarget;
    if (!v || !m_showAidVC)
        return;
    // By device: a name is not an identity, and there is no /Volumes here.
    platform::DiskToolStream* stream = m_tool.stream(expectedMediumArguments(*v) + QStringList{verb, v->volumePath}, this);
    m_aidStream = stream;
    connect(stream, &platform::DiskToolStream::lineRead, this, [this](const QString& line) {
        ++m_chunkCount;
        if (m_showAidVC) {
            m_showAidVC->changeShowOutPut(line);
            m_showAidVC->setProgressValue(float(m_chunkCount));
        }
    });
    // The end is the process's own, with its exit status.
    connect(stream, &platform::DiskToolStream::finished, this, [this, stream](int exitCode, const QString& errors) {
        if (m_showAidVC)
            m_showAidVC->finishWithStatus(exitCode, errors);
        stream->deleteLater();
        emit firstAidEnded(exitCode);
    });
    stream->start();
}

void RepairDiskViewController::closeShowAidWindow()
{
    m_aidTarget.reset();
    getallVolumes();
}
