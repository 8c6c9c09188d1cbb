#pragma once
#include "Main/LeftCell/CustemTypeButtonView.h"
#include "Main/MainWindowTool.h"
#include "Main/TabBarView.h"
#include "Main/ToolSlots.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <array>
#include <memory>

namespace Ui {
class MainWindowController;
}
class BaseWindow;
class QAction;
class QMenuBar;
class QParallelAnimationGroup;

// The main window: a navigation column of six entries and, on the right,
// one container per tool screen. Choosing an entry slides the old screen
// out and the new one in; a running job locks the navigation.
class MainWindowController : public QObject,
                             public MainWindowToolHost,
                             public CustemTypeButtonViewDelegate,
                             public TabBarVDelegate
{
    Q_OBJECT
public:
    enum Tag { EraseFiles = 0, WipeHardDrive = 1, WipeFreeSpace = 2, DiskManager = 3, Uninstaller = 4, InternetCleanup = 5 };
    static constexpr int kSlideMs = 500;
    static constexpr int kSlideDistance = 580;

    explicit MainWindowController(ToolSlots toolSlots = ToolSlots::standard(), QObject* parent = nullptr);
    ~MainWindowController() override;

    BaseWindow* window() const { return m_window; }
    TabBarView* tabBarView() const;
    // The program's menus, placed in the title strip beside the window buttons.
    void setMenuBar(QMenuBar* menuBar);
    void showWindow();
    // Where a window of `frame` goes on a screen with `available` room:
    // centred, inside it, its upper left corner on the screen when larger.
    static QPoint placedOnScreen(QRect frame, const QRect& available);

    // One action per tool, in navigation order, with its shortcut (Ctrl+1
    // to Ctrl+6); the Window menu lists them. They follow the lock.
    const QList<QAction*>& toolActions() const { return m_toolActions; }

    void mouseClickAction(int tag) override;
    void canChangeType(bool canChange) override;
    void getallVolumesForRepair();
    // Asks the drive wiper to remove its fill folder; once per way out.
    void removeFolderInWipeVolumes();
    void closeWindowAction() override;

    int indexSelectView() const { return m_indexSelectView; }
    CustemTypeButtonView* typeButton(int tag) const { return allTypeButArr.value(tag); }
    QWidget* baseView(int index) const { return allBaseViewArr.value(index); }
    static int containerIndexForTag(int tag) { return tag <= 1 ? tag : tag - 1; }
    bool isSliding() const;

signals:
    // The window is closing (title bar, window manager or program): the
    // fill folder has been removed by then.
    void windowWillClose();

private:
    void addFileEraserView();
    void addWipeDiskView();
    void addUninstallView();
    void addInternetView();
    void addRepairDiskVC();
    MainWindowTool* addTool(const ToolSlots::Factory& factory, QWidget* container, bool givesHost);
    void addTypeButton();
    CustemTypeButtonView* createTypeButtonWithName(const QString& name, const QString& icon, const QString& selIcon,
                                                   int tag, const QRect& frame);
    void slide(int fromIndex, int toIndex);
    // Only the container on view is shown, so nothing of another tool can
    // take the keyboard.
    void hideContainersOutOfView();
    void addToolActions();

    std::unique_ptr<Ui::MainWindowController> ui;
    BaseWindow* m_window = nullptr;
    ToolSlots m_slots;
    QList<QWidget*> allBaseViewArr;
    QList<CustemTypeButtonView*> allTypeButArr;
    QList<QAction*> m_toolActions;
    int m_indexSelectView = 0;
    bool m_folderRemoved = false;
    QPointer<QParallelAnimationGroup> m_slide;

    MainWindowTool* fileEraserVC = nullptr;
    MainWindowTool* wipeDiskVC = nullptr;
    MainWindowTool* repairDiskVC = nullptr;
    MainWindowTool* uninstallVC = nullptr;
    MainWindowTool* internetVC = nullptr;
};
