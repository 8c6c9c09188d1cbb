#include "Main/MainWindowController.h"

#include "ui_MainWindowController.h"

#include "Main/BaseWindow.h"
#include "Comm/FontCache.h"
#include "PopWindow/FocusReturn.h"
#include "PopWindow/FocusTrap.h"
#include "platform/ImageStore.h"
#include "platform/StartUp.h"

#include <QAction>
#include <QApplication>
#include <QEasingCurve>
#include <QGuiApplication>
#include <QMenuBar>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>

namespace {
struct EntrySpec
{
    const char* title;
    const char* icon;
    const char* selIcon;
    int y;  // from the column's bottom edge, as the entries were laid out
};
// The gap of 82 between Wipe Free Space and Disk Manager sets the disk
// tools apart from the erasers.
constexpr std::array<EntrySpec, 6> kEntries{{
    {"Erase Files/Folders", "ic_file", "ic_file_sel", 474},
    {"Wipe Hard Drive", "ic_wipe_hdd", "ic_wipe_hdd_sel", 438},
    {"Wipe Free Space", "ic_wipe_free", "ic_wipe_free_sel", 402},
    {"Disk Manager", "ic_repair", "ic_repair_sel", 320},
    {"Uninstaller", "ic_uninstall", "ic_uninstall_sel", 284},
    {"Internet Cleanup", "ic_internet", "ic_internet_sel", 248},
}};
constexpr int kEntryHeight = 28;
}  // namespace

MainWindowController::MainWindowController(ToolSlots toolSlots, QObject* parent)
    : QObject(parent), ui(std::make_unique<Ui::MainWindowController>()), m_slots(std::move(toolSlots))
{
    m_window = new BaseWindow;
    ui->setupUi(m_window);
    connect(m_window, &BaseWindow::windowWillClose, this, [this] {
        // Whatever closed the window, the fill folder goes first.
        removeFolderInWipeVolumes();
        emit windowWillClose();
    });
    // The content is hidden only while the window is really off the screen.
    connect(m_window, &BaseWindow::windowDidMiniaturize, this, [this] { ui->contentView->hide(); });
    connect(m_window, &BaseWindow::windowDidDeminiaturize, this, [this] { ui->contentView->show(); });

    ui->appNameLabel->setFont(FontCache::regularFont(18));
    ui->tabBarView->delegate = this;
    ui->tabBarView->setMinAction(true);
    m_indexSelectView = 0;

    addFileEraserView();
    addWipeDiskView();
    addUninstallView();
    addInternetView();
    addRepairDiskVC();
    // The Disk Manager starts listing as soon as the window is up; its scan
    // runs in the background and this call only starts it.
    platform::afterStartUp(this, [this] { getallVolumesForRepair(); });

    allBaseViewArr = {ui->FileEraserBaseView, ui->wipeHddBaseView, ui->diskReparBaseView, ui->uninstallBaseView,
                      ui->interBaseView};
    addTypeButton();
    addToolActions();
    hideContainersOutOfView();
    // Tab goes round what the window shows: the navigation and the screen
    // on view, never a control parked out of sight.
    FocusTrap::install(ui->contentView);
    // A dialog or page whose opener has gone gives the keyboard to the
    // navigation, on the chosen entry.
    FocusReturn::setHome(m_window, [this]() -> QWidget* { return allTypeButArr.value(m_indexSelectView); });
}

QPoint MainWindowController::placedOnScreen(QRect frame, const QRect& available)
{
    frame.moveCenter(available.center());
    // Never past the right or lower edge, and never past the left or upper
    // one, which holds the window's own buttons, whatever the size.
    if (frame.right() > available.right())
        frame.moveRight(available.right());
    if (frame.bottom() > available.bottom())
        frame.moveBottom(available.bottom());
    if (frame.left() < available.left())
        frame.moveLeft(available.left());
    if (frame.top() < available.top())
        frame.moveTop(available.top());
    return frame.topLeft();
}

MainWindowController::~MainWindowController()
{
    delete m_window;
}

TabBarView* MainWindowController::tabBarView() const
{
    return ui->tabBarView;
}

void MainWindowController::setMenuBar(QMenuBar* menuBar)
{
    QWidget* strip = ui->titleStripView;
    menuBar->setParent(strip);
    menuBar->setNativeMenuBar(false);
    menuBar->setFont(FontCache::regularFont(12));
    menuBar->setGeometry(70, 2, strip->width() - 80, strip->height() - 4);
    menuBar->setStyleSheet(QStringLiteral(
        "QMenuBar { background: transparent; color: rgba(255,255,255,170); }"
        "QMenuBar::item { padding: 3px 8px; background: transparent; }"
        "QMenuBar::item:selected { background: rgba(0,0,0,60); color: white; border-radius: 4px; }"
        "QMenu { background: rgb(50,50,62); color: rgb(237,239,240); border: 1px solid rgb(70,70,86); }"
        "QMenu::item { padding: 4px 22px; }"
        "QMenu::item:selected { background: rgb(40,130,220); }"
        "QMenu::item:disabled { color: rgba(237,239,240,90); }"
        "QMenu::separator { height: 1px; background: rgb(70,70,86); margin: 3px 6px; }"));
    menuBar->show();
}

void MainWindowController::showWindow()
{
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    ui->contentView->show();
    if (const QScreen* screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen()) {
        m_window->move(placedOnScreen(m_window->frameGeometry(), screen->availableGeometry()));
    }
    m_window->raise();
    m_window->activateWindow();
    // The keyboard starts on the navigation, where Tab and the arrow keys
    // lead on; without a window manager nobody else gives the window focus.
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != m_window)
        if (CustemTypeButtonView* entry = allTypeButArr.value(m_indexSelectView))
            entry->setFocus(Qt::OtherFocusReason);
    ui->contentView->update();
}

MainWindowTool* MainWindowController::addTool(const ToolSlots::Factory& factory, QWidget* container, bool givesHost)
{
    MainWindowTool* tool = factory ? factory() : nullptr;
    if (!tool || !tool->toolView())
        return nullptr;
    QWidget* view = tool->toolView();
    view->setParent(container);
    view->setGeometry(container->rect());
    view->show();
    if (givesHost)
        tool->setSuperDelegate(this);
    return tool;
}

void MainWindowController::addFileEraserView()
{
    fileEraserVC = addTool(m_slots.fileEraser, ui->FileEraserBaseView, true);
}

void MainWindowController::addWipeDiskView()
{
    wipeDiskVC = addTool(m_slots.wipeDisk, ui->wipeHddBaseView, true);
}

void MainWindowController::addUninstallView()
{
    uninstallVC = addTool(m_slots.uninstall, ui->uninstallBaseView, false);
}

void MainWindowController::addInternetView()
{
    internetVC = addTool(m_slots.internet, ui->interBaseView, false);
}

void MainWindowController::addRepairDiskVC()
{
    repairDiskVC = addTool(m_slots.repairDisk, ui->diskReparBaseView, false);
}

void MainWindowController::addTypeButton()
{
    const int columnHeight = ui->leftView->height();
    for (int tag = 0; tag < static_cast<int>(kEntries.size()); ++tag) {
        const EntrySpec& e = kEntries[tag];
        const QRect frame(8, columnHeight - e.y - kEntryHeight, 214, kEntryHeight);
        allTypeButArr << createTypeButtonWithName(QString::fromLatin1(e.title), QString::fromLatin1(e.icon),
                                                  QString::fromLatin1(e.selIcon), tag, frame);
    }
    allTypeButArr[0]->buttonClick(true);
}

void MainWindowController::addToolActions()
{
    for (int tag = 0; tag < static_cast<int>(kEntries.size()); ++tag) {
        auto* action = new QAction(QString::fromLatin1(kEntries[tag].title), m_window);
        action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + tag)));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, tag] {
            CustemTypeButtonView* entry = allTypeButArr.value(tag);
            // A sheet over the window holds it until it closes.
            const auto* sheet = m_window->findChild<QWidget*>(QStringLiteral("sheetShield"), Qt::FindDirectChildrenOnly);
            if (!entry || !entry->isEnd() || (sheet && sheet->isVisible()))
                return;
            mouseClickAction(tag);
            entry->setFocus(Qt::TabFocusReason);
        });
        m_window->addAction(action);
        m_toolActions << action;
    }
}

CustemTypeButtonView* MainWindowController::createTypeButtonWithName(const QString& name, const QString& icon,
                                                                     const QString& selIcon, int tag,
                                                                     const QRect& frame)
{
    auto* entry = new CustemTypeButtonView(ui->leftView);
    entry->setObjectName(QStringLiteral("typeButton%1").arg(tag));
    entry->setGeometry(frame);
    const qreal dpr = m_window->devicePixelRatioF();
    entry->iconImage = platform::imageNamed(icon, QSize(16, 16), dpr);
    entry->sleIconImage = platform::imageNamed(selIcon, QSize(16, 16), dpr);
    entry->delegate = this;
    entry->nameStr = name;
    entry->butTag = tag;
    entry->loadView();
    entry->show();
    return entry;
}

void MainWindowController::mouseClickAction(int tag)
{
    if (tag == m_indexSelectView || tag < 0 || tag >= allTypeButArr.size())
        return;
    for (CustemTypeButtonView* entry : allTypeButArr)
        entry->buttonClick(entry->butTag == tag);

    const int previous = m_indexSelectView;
    // What had the keyboard on the screen going away gives it to the
    // navigation, where the user chose.
    if (QWidget* focus = QApplication::focusWidget();
        focus && allBaseViewArr[containerIndexForTag(previous)]->isAncestorOf(focus))
        allTypeButArr[tag]->setFocus(Qt::OtherFocusReason);
    const bool fromWiper = previous == WipeHardDrive || previous == WipeFreeSpace;
    if (tag == WipeHardDrive || tag == WipeFreeSpace) {
        if (wipeDiskVC) {
            if (!fromWiper)
                wipeDiskVC->getallVolumes();
            wipeDiskVC->changeFormatOrFreeSpaceView(tag);
        }
        if (fromWiper) {
            // Both wiper modes share one container: nothing slides.
            m_indexSelectView = tag;
            return;
        }
    }
    if (tag == DiskManager)
        getallVolumesForRepair();

    slide(containerIndexForTag(previous), containerIndexForTag(tag));
    m_indexSelectView = tag;
}

void MainWindowController::slide(int fromIndex, int toIndex)
{
    // A click during a slide lands the running one first, so no container is
    // left half way.
    if (m_slide) {
        m_slide->setCurrentTime(m_slide->totalDuration());
        m_slide->stop();
        delete m_slide;
        hideContainersOutOfView();
    }
    QWidget* oldView = allBaseViewArr[fromIndex];
    QWidget* newView = allBaseViewArr[toIndex];
    newView->move(0, -kSlideDistance);
    newView->show();
    newView->raise();

    auto* group = new QParallelAnimationGroup(this);
    auto* out = new QPropertyAnimation(oldView, "pos", group);
    out->setDuration(kSlideMs);
    out->setEasingCurve(QEasingCurve::InQuad);
    out->setEndValue(QPoint(0, kSlideDistance));
    auto* in = new QPropertyAnimation(newView, "pos", group);
    in->setDuration(kSlideMs);
    in->setEasingCurve(QEasingCurve::InQuad);
    in->setEndValue(QPoint(0, 0));
    group->addAnimation(out);
    group->addAnimation(in);
    connect(group, &QAbstractAnimation::finished, this, &MainWindowController::hideContainersOutOfView);
    m_slide = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

void MainWindowController::hideContainersOutOfView()
{
    const int shown = containerIndexForTag(m_indexSelectView);
    for (int index = 0; index < allBaseViewArr.size(); ++index)
        if (index != shown && !isSliding())
            allBaseViewArr[index]->hide();
}

bool MainWindowController::isSliding() const
{
    return m_slide && m_slide->state() == QAbstractAnimation::Running;
}

void MainWindowController::canChangeType(bool canChange)
{
    for (CustemTypeButtonView* entry : allTypeButArr)
        entry->setButtonEnden(canChange);
    for (QAction* action : m_toolActions)
        action->setEnabled(canChange);
}

void MainWindowController::getallVolumesForRepair()
{
    if (repairDiskVC)
        repairDiskVC->getallVolumes();
}

void MainWindowController::removeFolderInWipeVolumes()
{
    if (m_folderRemoved)
        return;
    m_folderRemoved = true;
    if (wipeDiskVC)
        wipeDiskVC->endAppRemoveFolder();
}

void MainWindowController::closeWindowAction()
{
    removeFolderInWipeVolumes();
}
