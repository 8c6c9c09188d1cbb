#include "uninstall/UninstallViewController.h"

#include "FakeTool.h"
#include "TempTree.h"
#include "Main/Tools/CustemOutlineView.h"
#include "Main/Tools/CustomTableView.h"
#include "uninstall/FocusRing.h"
#include "ToolCon/TextImageButton.h"
#include "uninstall/UninstallProgressViewController.h"
#include "uninstall/UninstallRun.h"
#include "uninstall/UninstallTableModel.h"
#include "Main/TabBarView.h"
#include "ProgressView/ProgressView.h"
#include "TopView/HMTrafficButtonsContainer.h"
#include "platform/ImageStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTableView>
#include <QFileInfo>
#include <QScreen>
#include <QThreadPool>
#include <QTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

namespace {

QByteArray entry(const QByteArray& name, const QString& exec)
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec.toUtf8() + "\n";
}

QByteArray appImageBytes()
{
    QByteArray bytes("\x7f" "ELF\x02\x01\x01\x00" "AI\x02", 11);
    return bytes + QByteArray(989, 'x');  // 1000 bytes in all
}

// A fixture machine: three applications and leftovers in a fake home.
class UninstallScreen : public ::testing::Test
{
protected:
    TempTree tree;
    FakeTool dpkg{"dpkg-query", "exit 1\n"};
    ScanSetup setup;
    RelatedRoots roots;
    QString image;

    void SetUp() override
    {
        setup.home = tree / "home";
        setup.applicationRoots = {tree.folder("home/.local/share/applications"), tree.folder("usr/share/applications")};
        setup.optRoot = tree / "opt";
        setup.linkFolders = {};
        setup.tools.dpkgQuery = dpkg.path();
        roots = RelatedRoots::forHome(tree / "home");
        roots.etc = tree / "etc";
        roots.varCache = tree / "var/cache";
        roots.varLib = tree / "var/lib";
        roots.varLog = tree / "var/log";
        roots.tools = setup.tools;

        image = tree.file("home/Apps/Zed.AppImage", appImageBytes());
        tree.file("home/.local/share/applications/zed.desktop", entry("Zed", image));
        tree.file("usr/share/applications/alpha.desktop", entry("Alpha", "alpha"));
        tree.file("usr/share/applications/beta.desktop", entry("Beta Tool", "beta"));
        tree.file("home/.config/zed/settings.json", QByteArray(500, 'y'));
        tree.file("home/.config/zedit/keep", "other program's");
    }

    std::unique_ptr<FakeTool> pkgDpkg, pkgApt;
    QString pkgEntry;

    // "Pkg": an entry of the package pkg (10 KiB installed, and installed it
    // stays); dpkg-query logs its calls, apt-get runs `aptBody`.
    void packagedPkg(const QString& aptBody)
    {
        pkgEntry = tree.file("usr/share/applications/pkg.desktop", entry("Pkg", "pkg-tool"));
        pkgDpkg = std::make_unique<FakeTool>(
            "dpkg-query", "echo \"$*\" >> \"$LOG\"\n"
                          "if [ \"$1\" = -S ]; then echo 'pkg: " + pkgEntry + "'; exit 0; fi\n"
                          "if [ \"$2\" = '-f=${db:Status-Status}' ]; then echo installed; exit 0; fi\n"
                          "printf 'pkg\\tpkg\\t1.0\\t10\\tno\\toptional\\tinstalled\\n'\n");
        pkgApt = std::make_unique<FakeTool>("apt-get", aptBody);
        setup.tools.dpkgQuery = pkgDpkg->path();
        setup.tools.aptGet = pkgApt->path();
        roots.tools = setup.tools;
    }

    std::unique_ptr<UninstallViewController> scanned()
    {
        auto screen = std::make_unique<UninstallViewController>(setup, roots, false);
        QSignalSpy ended(screen.get(), &UninstallViewController::scanEnded);
        screen->begimScanFile();
        EXPECT_TRUE(screen->isScan());
        EXPECT_FALSE(screen->typeSegment()->isEndit());
        EXPECT_TRUE(ended.wait(10000));
        return screen;
    }

    static QModelIndex cell(UninstallViewController& s, int row, int column)
    {
        return s.model()->index(row, column);
    }
};

int rowOf(const UninstallViewController& s, const QString& name)
{
    for (int i = 0; i < s.showList().size(); ++i)
        if (s.showList()[i]->name == name)
            return i;
    return -1;
}

}  // namespace

TEST_F(UninstallScreen, ScanFillsTheTabsAndTheCountLineFollowsTicksAndSearch)
{
    auto screen = scanned();
    EXPECT_FALSE(screen->isScan());
    EXPECT_TRUE(screen->typeSegment()->isEndit());
    ASSERT_EQ(screen->showList().size(), 3);
    EXPECT_EQ(screen->nameColumnTitle(), "   Applications(Total: 3 items)");
    EXPECT_EQ(screen->countLineText(), "Total: 3 Items");
    EXPECT_FALSE(screen->uninstallEnabled());

    CheckButtonCell box;
    screen->clickButtonAction(&box, cell(*screen, rowOf(*screen, "Alpha"), UninstallTableModel::CheckBox));
    EXPECT_EQ(screen->countLineText(), "Selected: 1/3 Items");
    EXPECT_EQ(screen->selectAllText(), "Select all");
    EXPECT_TRUE(screen->uninstallEnabled());
    screen->clickButtonAction(&box, cell(*screen, rowOf(*screen, "Alpha"), UninstallTableModel::CheckBox));
    EXPECT_TRUE(screen->tickedList(0).isEmpty());

    // With a search in force Select all ticks exactly the shown records;
    // pressing it again empties the whole ticked list.
    screen->searchField()->setText("bet");
    ASSERT_EQ(screen->showList().size(), 1);
    EXPECT_EQ(screen->nameColumnTitle(), "   Applications(Total: 1 items)");
    screen->selectAllButtonAction();
    EXPECT_EQ(screen->tickedList(0).size(), 1);
    EXPECT_EQ(screen->tickedList(0)[0]->name, "Beta Tool");
    screen->selectAllButtonAction();
    EXPECT_TRUE(screen->tickedList(0).isEmpty());
    EXPECT_EQ(screen->countLineText(), "Total: 1 Item");
    screen->closeSearchButton();
    EXPECT_EQ(screen->showList().size(), 3);

    // Header sort: the first click on the name sorts descending.
    screen->tableDidClickColumn(UninstallTableModel::AppName);
    EXPECT_EQ(screen->showList().first()->name, "Zed");
    screen->tableDidClickColumn(UninstallTableModel::AppName);
    EXPECT_EQ(screen->showList().first()->name, "Alpha");

    // Sizes are measured when a row's size cell is first asked for, once.
    const int zed = rowOf(*screen, "Zed");
    const AMAppItemPtr record = screen->showList()[zed];
    EXPECT_EQ(record->size, "0KB");
    QSignalSpy changed(screen->model(), &QAbstractItemModel::dataChanged);
    screen->model()->data(cell(*screen, zed, UninstallTableModel::Size), Qt::DisplayRole);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(record->size, "1.00 KB");
    screen->model()->data(cell(*screen, zed, UninstallTableModel::Size), Qt::DisplayRole);
    EXPECT_FALSE(changed.wait(300));

    // Another tab shows its own (empty) list.
    screen->typeSegment()->buttonSelectAction("1");
    EXPECT_EQ(screen->appsType(), 1);
    EXPECT_EQ(screen->nameColumnTitle(), "   Items(Total: 0 items)");
    EXPECT_EQ(screen->countLineText(), "Total: 0 Item");
}

TEST_F(UninstallScreen, TheScanOfAStartingScreenWaitsForTheEventLoop)
{
    FakeTool logging{"dpkg-query", "echo \"$*\" >> \"$LOG\"\nexit 1\n"};
    setup.tools.dpkgQuery = logging.path();
    UninstallViewController screen(setup, roots, true);
    // Anything started in the background has had its time.
    QThreadPool::globalInstance()->waitForDone(10000);
    EXPECT_FALSE(screen.isScan());
    EXPECT_EQ(logging.log(), "") << "dpkg-query ran while the program was still starting";

    QSignalSpy ended(&screen, &UninstallViewController::scanEnded);
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_TRUE(logging.log().contains("-S")) << logging.log().toStdString();
}

TEST_F(UninstallScreen, ConfirmationTicksOnlyWhatTheFinderProposes)
{
    auto screen = scanned();
    const int zed = rowOf(*screen, "Zed");
    ASSERT_GE(zed, 0);
    const auto groups = screen->groupsFor({screen->showList()[zed]});
    ASSERT_EQ(groups.size(), 1);
    ASSERT_EQ(groups[0].size(), 3);  // the AppImage, ~/.config/zed, ~/.config/zedit

    MakeSureUninstallViewController confirm;
    confirm.setAllRelaltedFiles(groups);
    EXPECT_EQ(confirm.selectDeletePath().size(), 2);  // zedit starts unticked
    EXPECT_EQ(confirm.groupPicture(0), "checkbox_election");
    const QModelIndex group = confirm.outlineView()->model()->index(0, 0);
    confirm.selectRemoveLanguage(group);
    EXPECT_EQ(confirm.groupPicture(0), "checkbox_yes");
    confirm.selectRemoveLanguage(group);
    EXPECT_EQ(confirm.groupPicture(0), "checkbox_no");
    EXPECT_FALSE(confirm.uninstallButton()->buttonEnabled());
    confirm.selectRemoveLanguage(confirm.outlineView()->model()->index(0, 0, group));
    EXPECT_TRUE(confirm.uninstallButton()->buttonEnabled());
    EXPECT_EQ(confirm.selectDeletePath(), AMAppItemList{groups[0][0]});
    EXPECT_TRUE(confirm.planText().isEmpty());

    // A package names every package that would go; one the system needs cannot be ticked.
    auto package = std::make_shared<AMAppItem>();
    package->name = "Pkg";
    package->kind = AppKind::Package;
    package->alsoRemoves = {"pkg", "pkg-data"};
    auto needed = std::make_shared<AMAppItem>();
    needed->name = "Core";
    needed->kind = AppKind::Package;
    needed->blocked = true;
    needed->defaultTicked = false;
    needed->failReason = "removing core would remove libc6";
    MakeSureUninstallViewController packages;
    packages.setAllRelaltedFiles({{package}, {needed}});
    EXPECT_EQ(packages.planText(), "Packages to be removed: pkg, pkg-data");
    EXPECT_EQ(packages.selectDeletePath(), AMAppItemList{package});
    packages.selectRemoveLanguage(packages.outlineView()->model()->index(1, 0));
    EXPECT_EQ(packages.selectDeletePath(), AMAppItemList{package});

    // A long plan is shown whole: the panel grows rather than cut it.
    const int before = packages.height();
    for (int i = 0; i < 40; ++i)
        package->alsoRemoves << QString("libsomething-extra%1").arg(i);
    MakeSureUninstallViewController longPlan;
    longPlan.setAllRelaltedFiles({{package}});
    EXPECT_GT(longPlan.height(), before + 60);
    EXPECT_GT(longPlan.uninstallButton()->y(), 348);
}

TEST_F(UninstallScreen, RemovalFromTheTrashButtonEndsWithATrueMessage)
{
    auto screen = scanned();
    QString message;
    bool endShownAtClose = false;
    QRect bar;
    // Confirms at once; the progress panel is dismissed by its title bar's
    // close button once it shows its end.
    screen->setPanelRunner([&](PanelController* controller) {
        if (auto* confirm = qobject_cast<MakeSureUninstallViewController*>(controller)) {
            confirm->clickedDeleteBtn();
        } else if (auto* progress = qobject_cast<UninstallProgressViewController*>(controller)) {
            bar = progress->progressBar()->geometry();
            (void)QTest::qWaitFor([&] { return progress->endShown(); }, 10000);
            endShownAtClose = progress->endShown();
            message = progress->messageText();
            progress->tabBarView()->closeButton()->click();
        }
        delete controller;
    });
    // A search in force stays in force after the removal.
    screen->searchField()->setText("e");
    ASSERT_EQ(screen->showList().size(), 2);  // Zed and Beta Tool
    QSignalSpy removed(screen.get(), &UninstallViewController::removalEnded);
    screen->trashClicked(cell(*screen, rowOf(*screen, "Zed"), UninstallTableModel::Trash));
    EXPECT_TRUE(screen->isBusy());
    ASSERT_TRUE(removed.wait(10000));
    EXPECT_FALSE(screen->isBusy());
    EXPECT_EQ(bar, QRect(32, 118, 496, 4));

    EXPECT_TRUE(endShownAtClose);
    EXPECT_FALSE(QFileInfo::exists(image));
    EXPECT_FALSE(QFileInfo::exists(tree / "home/.local/share/applications/zed.desktop"));
    EXPECT_FALSE(QFileInfo::exists(tree / "home/.config/zed"));
    EXPECT_TRUE(QFileInfo::exists(tree / "home/.config/zedit/keep"));
    // 1000 bytes of AppImage, its 101-byte entry and 500 of settings, counted once each.
    ASSERT_EQ(entry("Zed", image).size(), 101);
    EXPECT_EQ(screen->lastRun()->totalSize(), 1601u);
    EXPECT_TRUE(message.startsWith("Tarnwick Vantoly has successfully removed"));
    EXPECT_TRUE(message.contains("1.60 KB"));
    EXPECT_EQ(rowOf(*screen, "Zed"), -1);
    EXPECT_EQ(screen->searchField()->text(), "e");
    ASSERT_EQ(screen->showList().size(), 1);
    EXPECT_EQ(screen->nameColumnTitle(), "   Applications(Total: 1 items)");
    EXPECT_EQ(screen->fullList(0).size(), 2);

    // Refresh finds a new program; the header counts what is shown.
    tree.file("usr/share/applications/echo.desktop", entry("Echo", "echo-tool"));
    screen->refButtonAction();
    // The walk runs off the window's thread: Refresh returns at once.
    EXPECT_TRUE(screen->isScan());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->isScan(); }, 10000));
    EXPECT_EQ(screen->showList().size(), 2);
    EXPECT_EQ(screen->nameColumnTitle(), "   Applications(Total: 2 items)");
}

TEST_F(UninstallScreen, TheConfirmationOpensAtOnceAndItsPackagePlanFollowsWhenAptAnswers)
{
    packagedPkg("sleep 2\necho 'Remv pkg [1.0]'\n");
    // A system leftover each: whose it is must be asked.
    tree.file("etc/pkg.conf", "p");
    tree.file("etc/alpha.conf", "a");
    auto screen = scanned();
    const int row = rowOf(*screen, "Pkg");
    ASSERT_GE(row, 0);
    const qsizetype ownershipAtScan = pkgDpkg->log().count("-S --");

    QElapsedTimer clock;
    qint64 openedAt = -1, filledAt = -1;
    QString planAtOpen, sizeAtOpen, planFilled, sizeFilled;
    bool enabledAtOpen = true;
    screen->setPanelRunner([&](PanelController* controller) {
        if (auto* confirm = qobject_cast<MakeSureUninstallViewController*>(controller)) {
            openedAt = clock.elapsed();
            planAtOpen = confirm->planText();
            enabledAtOpen = confirm->uninstallButton()->buttonEnabled();
            const QModelIndex group = confirm->outlineView()->model()->index(0, 0);
            sizeAtOpen = confirm->outlineView()->model()->index(0, 2, group).data().toString();
            // The panel's own loop runs while apt-get works.
            if (QTest::qWaitFor([&] { return confirm->uninstallButton()->buttonEnabled(); }, 10000))
                filledAt = clock.elapsed();
            planFilled = confirm->planText();
            sizeFilled = confirm->outlineView()->model()->index(0, 2, group).data().toString();
        }
        delete controller;
    });
    // The window answers throughout: gaps between timer ticks are measured.
    qint64 last = 0, worst = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.elapsed() - last);
        last = clock.elapsed();
    });
    CheckButtonCell box;
    screen->clickButtonAction(&box, cell(*screen, row, UninstallTableModel::CheckBox));
    screen->clickButtonAction(&box, cell(*screen, rowOf(*screen, "Alpha"), UninstallTableModel::CheckBox));
    clock.start();
    tick.start();
    screen->uninstallAppButtonAction();
    EXPECT_TRUE(screen->isBusy());
    // Clicks meanwhile change nothing.
    screen->clickButtonAction(&box, cell(*screen, row, UninstallTableModel::CheckBox));
    EXPECT_EQ(screen->tickedList(0).size(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return filledAt >= 0; }, 15000));
    tick.stop();
    EXPECT_LT(worst, 250);  // apt-get alone takes 2 s; a loaded machine adds its own pauses

    // Open well before apt-get has answered, the plan marked as being worked out.
    EXPECT_LT(openedAt, 1000);
    EXPECT_EQ(planAtOpen, "Packages to be removed: being worked out with the package manager…");
    EXPECT_EQ(sizeAtOpen, "…");
    EXPECT_FALSE(enabledAtOpen);
    // Uninstall only once the plan is shown.
    EXPECT_GE(filledAt, 2000);
    EXPECT_EQ(planFilled, "Packages to be removed: pkg");
    EXPECT_EQ(sizeFilled, "10.24 KB");
    // Both groups' leftovers in one ownership question.
    EXPECT_EQ(pkgDpkg->log().count("-S --") - ownershipAtScan, 1);
    EXPECT_FALSE(screen->isBusy());
    // Never shown, yet measured: the package's installed size.
    EXPECT_EQ(screen->showList()[row]->size, "10.24 KB");
}

namespace {

struct ConfirmedTicks : MakeSureUninstallVCDelegate
{
    AMAppItemList ticked;
    void completeCleanRelatedFiles() override {}
    void uninstallConfirmed(const AMAppItemList& t, const AMAppItemList&) override { ticked = t; }
};

}  // namespace

TEST_F(UninstallScreen, EveryTickChangeInTheConfirmationIsDrawnAndTheRemovalFollowsIt)
{
    auto screen = scanned();
    const auto groups = screen->groupsFor({screen->showList()[rowOf(*screen, "Zed")]});
    ASSERT_EQ(groups.size(), 1);
    ASSERT_EQ(groups[0].size(), 3);
    int settingsRow = -1, otherRow = -1;
    for (int r = 0; r < groups[0].size(); ++r) {
        settingsRow = groups[0][r]->path.endsWith("/.config/zed") ? r : settingsRow;
        otherRow = groups[0][r]->path.endsWith("/.config/zedit") ? r : otherRow;
    }
    ASSERT_GE(settingsRow, 0);
    ASSERT_GE(otherRow, 0);

    MakeSureUninstallViewController confirm;
    ConfirmedTicks delegate;
    confirm.setDelegate(&delegate);
    confirm.setAllRelaltedFiles(groups);
    confirm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&confirm));
    CustemOutlineView* view = confirm.outlineView();
    const QModelIndex group = view->model()->index(0, 0);
    const QModelIndex settings = view->model()->index(settingsRow, 0, group);
    const QModelIndex other = view->model()->index(otherRow, 0, group);
    // Rows read their full paths.
    EXPECT_EQ(view->model()->index(otherRow, 1, group).data().toString(), groups[0][otherRow]->path);

    // What the screen really shows: the window's backing store, not a fresh rendering.
    auto drawnTicked = [&](const QModelIndex& index) {
        QTest::qWait(50);
        const QImage shot = confirm.screen()->grabWindow(confirm.winId()).toImage();
        const QRect row = view->visualRect(index);
        const QPoint at = view->viewport()->mapTo(&confirm, QPoint(26, row.center().y() - 4));
        const QColor c = shot.pixelColor(at);
        return c.blue() > 200 && c.red() < 80;
    };
    // A click 2 px above the box's centre, as a user's hand lands.
    auto click = [&](const QModelIndex& index) {
        const QRect row = view->visualRect(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(31, row.center().y() - 2));
    };
    qint64 now = 0;
    CheckButtonCell::setClock([&] { return now += 1000; });
    EXPECT_TRUE(drawnTicked(settings));
    EXPECT_FALSE(drawnTicked(other));
    click(other);
    EXPECT_TRUE(drawnTicked(other));
    click(other);
    EXPECT_FALSE(drawnTicked(other));
    click(settings);
    EXPECT_FALSE(drawnTicked(settings));
    EXPECT_TRUE(drawnTicked(group));  // some still ticked: the mixed box is blue too
    CheckButtonCell::setClock({});

    confirm.clickedDeleteBtn();
    EXPECT_EQ(delegate.ticked, AMAppItemList{groups[0][0]});
}

TEST(UninstallList, AnApplicationWithoutAThemeIconGetsAGenericOneNotTheTrash)
{
    AMAppItem item;
    item.iconName = "tv-no-such-icon-anywhere";
    const QImage icon = UninstallTableModel::iconOf(item).toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_NE(icon, platform::imageNamed("ic_uninstall", QSize(32, 32)).toImage());
    EXPECT_NE(icon, platform::imageNamed("ic_trash", QSize(32, 32)).toImage());
}

TEST_F(UninstallScreen, AFailedRecordStaysListedAndIsNamed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root for the immutable flag";
    auto screen = scanned();
    if (QProcess::execute("chattr", {"+i", image}) != 0)
        GTEST_SKIP() << "no immutable flag here";
    QString message;
    screen->setPanelRunner([&](PanelController* controller) {
        if (auto* confirm = qobject_cast<MakeSureUninstallViewController*>(controller))
            confirm->clickedDeleteBtn();
        else if (auto* progress = qobject_cast<UninstallProgressViewController*>(controller)) {
            (void)QTest::qWaitFor([&] { return progress->endShown() && !progress->messageText().isEmpty(); }, 10000);
            message = progress->messageText();
        }
        delete controller;
    });
    QSignalSpy removed(screen.get(), &UninstallViewController::removalEnded);
    CheckButtonCell box;
    screen->clickButtonAction(&box, cell(*screen, rowOf(*screen, "Zed"), UninstallTableModel::CheckBox));
    screen->uninstallAppButtonAction();
    const bool ended = removed.wait(10000);
    QProcess::execute("chattr", {"-i", image});
    ASSERT_TRUE(ended);
    EXPECT_TRUE(QFileInfo::exists(image));
    EXPECT_TRUE(message.contains("could not be removed"));
    EXPECT_TRUE(message.contains(image));
    // The program stays, so its settings stay, and the end view says why.
    EXPECT_TRUE(QFileInfo::exists(tree / "home/.config/zed/settings.json"));
    EXPECT_TRUE(message.contains("Kept, as the program they belong to is still there:\n" + tree / "home/.config/zed"
                                 + " (Zed could not be removed)"))
        << message.toStdString();
    EXPECT_TRUE(message.contains("0 byte of disk space was freed")) << message.toStdString();
    EXPECT_GE(rowOf(*screen, "Zed"), 0);
    EXPECT_TRUE(screen->lastRun()->isFail());

    // No row stays ticked after a removal, failed or not.
    EXPECT_TRUE(screen->tickedList(0).isEmpty());
    EXPECT_EQ(screen->countLineText(), "Total: 3 Items");
    // A tick the search hides is neither counted nor taken along.
    screen->clickButtonAction(&box, cell(*screen, rowOf(*screen, "Zed"), UninstallTableModel::CheckBox));
    screen->searchField()->setText("alp");
    ASSERT_EQ(screen->showList().size(), 1);
    EXPECT_EQ(screen->countLineText(), "Total: 1 Item");
    EXPECT_FALSE(screen->uninstallEnabled());
    screen->clickButtonAction(&box, cell(*screen, rowOf(*screen, "Alpha"), UninstallTableModel::CheckBox));
    EXPECT_EQ(screen->countLineText(), "Selected: 1/1 Items");
    QStringList offered;
    screen->setPanelRunner([&](PanelController* controller) {
        if (auto* confirm = qobject_cast<MakeSureUninstallViewController*>(controller)) {
            for (const AMAppGroup& group : confirm->allRelaltedFiles())
                offered << group.first()->name;
            confirm->clickedCancelBtn();
        }
        delete controller;
    });
    screen->uninstallAppButtonAction();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !offered.isEmpty(); }, 10000));
    EXPECT_EQ(offered, QStringList{"Alpha"});
    // Shown again, it counts again.
    screen->closeSearchButton();
    EXPECT_EQ(screen->countLineText(), "Selected: 2/3 Items");
}

TEST(UninstallRun, TwoEntriesOfOnePackageRemoveItOnceAndCountItsInstalledSizeOnce)
{
    TempTree tree;
    const QString state = tree.file("state", "installed");
    FakeTool apt("apt-get", "echo \"$*\" >> \"$LOG\"\n"
                            "if [ \"$1\" = -s ]; then grep -q installed '" + state + "' && echo 'Remv demo [1.0]'; exit 0; fi\n"
                            "echo removed > '" + state + "'\n");
    FakeTool dpkg("dpkg-query", "if [ \"$2\" = '-f=${db:Status-Status}' ]; then cat '" + state + "'; exit 0; fi\n"
                                "printf 'demo\\tdemo\\t1.0\\t2000\\tno\\toptional\\tinstalled\\n'\n");
    PackageTools tools;
    tools.aptGet = apt.path();
    tools.dpkgQuery = dpkg.path();
    AMAppItemList records;
    for (const char* entry : {"/usr/share/applications/demo.desktop", "/usr/share/applications/demo-admin.desktop"}) {
        auto item = std::make_shared<AMAppItem>();
        item->kind = AppKind::Package;
        item->packageName = "demo";
        item->path = entry;
        ASSERT_TRUE(AsMDeleteExecutor::planPackageRemoval(*item, tools));
        records << item;
    }
    UninstallRun run;
    run.executor().setTools(tools);
    QSignalSpy ended(&run, &UninstallRun::ended);
    QSignalSpy working(&run, &UninstallRun::working);
    QList<int> percents;
    QObject::connect(&run, &UninstallRun::progressed, [&](int p, const QString&) { percents << p; });
    run.doRemove(records);
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(percents, QList<int>({50, 100}));
    // While apt-get works the panel says what it is doing.
    ASSERT_FALSE(working.isEmpty());
    EXPECT_TRUE(working.first().first().toString().contains("package demo"));
    EXPECT_EQ(run.removed().size(), 2);
    EXPECT_FALSE(run.isFail());
    EXPECT_EQ(apt.log().count("-y remove demo"), 1);
    EXPECT_EQ(run.totalSize(), 2000u * 1024);
    EXPECT_TRUE(run.endMessage().contains("successfully removed"));
}

TEST(UninstallRun, AFolderRemovedInPartIsSaidSoAndWhatWentIsCounted)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root for the immutable flag";
    TempTree tree;
    tree.file("leftover/gone", QByteArray(3000, 'g'));
    const QString locked = tree.file("leftover/locked", QByteArray(1000, 'l'));
    if (QProcess::execute("chattr", {"+i", locked}) != 0)
        GTEST_SKIP() << "no immutable flag here";
    const QString whole = tree.file("stuck/locked", QByteArray(500, 's'));
    QProcess::execute("chattr", {"+i", whole});
    UninstallRun run;
    platform::InvokingUser root;
    root.uid = 0;
    root.gid = 0;
    run.executor().setUser(root);
    QSignalSpy ended(&run, &UninstallRun::ended);
    run.doRemove({RelatedAppFilesScanner::constructItem(tree / "leftover", 0),
                  RelatedAppFilesScanner::constructItem(tree / "stuck", 0)});
    const bool done = ended.wait(10000);
    QProcess::execute("chattr", {"-i", locked});
    QProcess::execute("chattr", {"-i", whole});
    ASSERT_TRUE(done);
    EXPECT_FALSE(QFileInfo::exists(tree / "leftover/gone"));
    EXPECT_TRUE(QFileInfo::exists(locked));
    ASSERT_EQ(run.failed().size(), 2);
    EXPECT_TRUE(run.failed()[0]->partlyRemoved);
    EXPECT_FALSE(run.failed()[1]->partlyRemoved);
    EXPECT_EQ(run.totalSize(), 3000u);
    const QString message = run.endMessage();
    EXPECT_TRUE(message.contains("removed only in part"));
    EXPECT_TRUE(message.contains(tree / "leftover"));
    EXPECT_TRUE(message.contains("could not be removed and were left in place:\n" + tree / "stuck"));
    EXPECT_TRUE(message.contains("3.00 KB"));
}

TEST_F(UninstallScreen, ClearingTheSearchCountsTheWholeListInTheHeaderAndTheCountLine)
{
    auto screen = scanned();
    screen->searchField()->setText("bet");
    ASSERT_EQ(screen->showList().size(), 1);
    screen->closeSearchButton();
    ASSERT_EQ(screen->showList().size(), 3);
    EXPECT_EQ(screen->nameColumnTitle(), "   Applications(Total: 3 items)");
    EXPECT_EQ(screen->countLineText(), "Total: 3 Items");
}

namespace {

// Runs the confirmation through `confirmStep` and the progress panel to its
// end; `message` is the end view's text.
UninstallViewController::PanelRunner confirmAndRun(std::function<void(MakeSureUninstallViewController*)> confirmStep,
                                                   QString& message)
{
    return [confirmStep, &message](PanelController* controller) {
        if (auto* confirm = qobject_cast<MakeSureUninstallViewController*>(controller)) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return confirm->uninstallButton()->buttonEnabled(); }, 15000));
            confirmStep(confirm);
        } else if (auto* progress = qobject_cast<UninstallProgressViewController*>(controller)) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return progress->endShown() && !progress->messageText().isEmpty(); },
                                        30000));
            message = progress->messageText();
        }
        delete controller;
    };
}

}  // namespace

TEST_F(UninstallScreen, ThePlanLineFollowsTheTicksAndTheEndViewNamesWhatWentAndWhatStayed)
{
    packagedPkg("echo \"$*\" >> \"$LOG\"\necho 'Remv pkg [1.0]'\n");
    const QString settings = tree.file("home/.config/pkg/settings", QByteArray(500, 's'));
    auto screen = scanned();

    QString planWhole, planUnticked, planNothing, message;
    bool enabledWithNothing = true;
    screen->setPanelRunner(confirmAndRun([&](MakeSureUninstallViewController* confirm) {
        auto* model = confirm->outlineView()->model();
        const QModelIndex group = model->index(0, 0);
        ASSERT_EQ(model->rowCount(group), 2);  // the package, ~/.config/pkg
        planWhole = confirm->planText();
        confirm->selectRemoveLanguage(model->index(0, 0, group));
        planUnticked = confirm->planText();
        confirm->selectRemoveLanguage(model->index(1, 0, group));
        planNothing = confirm->planText();
        enabledWithNothing = confirm->uninstallButton()->buttonEnabled();
        confirm->selectRemoveLanguage(model->index(1, 0, group));
        confirm->clickedDeleteBtn();
    }, message));
    QSignalSpy removed(screen.get(), &UninstallViewController::removalEnded);
    screen->trashClicked(cell(*screen, rowOf(*screen, "Pkg"), UninstallTableModel::Trash));
    ASSERT_TRUE(removed.wait(20000));

    EXPECT_EQ(planWhole, "Packages to be removed: pkg");
    EXPECT_EQ(planUnticked, "");
    EXPECT_EQ(planNothing, "");
    EXPECT_FALSE(enabledWithNothing);
    // Only the leftover went, and the end view says so.
    EXPECT_FALSE(pkgApt->log().contains("-y remove"));
    // The package stays, so its settings stay with it, and the end view says so.
    EXPECT_TRUE(QFileInfo::exists(settings));
    EXPECT_FALSE(message.contains("successfully")) << message.toStdString();
    EXPECT_TRUE(message.contains("Kept, as the program they belong to is still there:\n" + tree / "home/.config/pkg"
                                 + " (the package pkg was not removed)"))
        << message.toStdString();
    EXPECT_TRUE(message.contains("Not removed, as they were not ticked:\nthe package pkg (" + pkgEntry + ")"))
        << message.toStdString();
    EXPECT_TRUE(message.contains("0 byte of disk space"));
    EXPECT_GE(rowOf(*screen, "Pkg"), 0);
}

namespace {

// Clears the immutable flag whatever the test does.
struct ImmutableGuard
{
    QString path;
    ~ImmutableGuard() { QProcess::execute("chattr", {"-i", path}); }
};

}  // namespace

TEST_F(UninstallScreen, AnOptProgramRemovedOnlyInPartKeepsItsEntryAndItsRowAfterRefresh)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root for the immutable flag";
    const QString program = tree.file("opt/vendor/app/bin/app", "#!/bin/sh\n");
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
    tree.file("opt/vendor/app/share/data", QByteArray(2000, 'd'));
    const QString locked = tree.file("opt/vendor/app/share/locked", QByteArray(1000, 'l'));
    const QString launcher = tree.file("home/.local/share/applications/optapp.desktop", entry("OptApp", program));
    ImmutableGuard guard{locked};
    if (QProcess::execute("chattr", {"+i", locked}) != 0)
        GTEST_SKIP() << "no immutable flag here";
    auto screen = scanned();
    ASSERT_GE(rowOf(*screen, "OptApp"), 0);
    EXPECT_EQ(screen->showList()[rowOf(*screen, "OptApp")]->kind, AppKind::OptFolder);

    QString message;
    screen->setPanelRunner(confirmAndRun([](MakeSureUninstallViewController* c) { c->clickedDeleteBtn(); }, message));
    QSignalSpy removed(screen.get(), &UninstallViewController::removalEnded);
    screen->trashClicked(cell(*screen, rowOf(*screen, "OptApp"), UninstallTableModel::Trash));
    ASSERT_TRUE(removed.wait(20000));

    EXPECT_FALSE(QFileInfo::exists(program));
    EXPECT_TRUE(QFileInfo::exists(locked));
    EXPECT_TRUE(message.contains("removed only in part")) << message.toStdString();
    // The way back to what is left stays.
    EXPECT_TRUE(QFileInfo::exists(launcher));
    EXPECT_GE(rowOf(*screen, "OptApp"), 0);
    // What is left of it is measured again as it is shown, without a Refresh.
    const AMAppItemPtr left = screen->showList()[rowOf(*screen, "OptApp")];
    screen->model()->data(cell(*screen, rowOf(*screen, "OptApp"), UninstallTableModel::Size), Qt::DisplayRole);
    EXPECT_TRUE(QTest::qWaitFor([&] { return left->size == "1.00 KB"; }, 10000)) << left->size.toStdString();
    screen->refButtonAction();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->isScan(); }, 10000));
    ASSERT_GE(rowOf(*screen, "OptApp"), 0);
    EXPECT_EQ(screen->showList()[rowOf(*screen, "OptApp")]->path, tree / "opt/vendor/app");
}

TEST_F(UninstallScreen, AGroupCountsOnlyItsTickedRowsAFewBytesShowAsBytesAndTheTrashIsRedOnlyUnderThePointer)
{
    auto screen = scanned();
    const int zed = rowOf(*screen, "Zed");
    ASSERT_GE(zed, 0);
    const auto groups = screen->groupsFor({screen->showList()[zed]});
    ASSERT_EQ(groups[0].size(), 3);  // the AppImage (1000), ~/.config/zed (500), ~/.config/zedit (15, unticked)
    for (const AMAppItemPtr& r : groups[0]) {
        if (r->path.endsWith("/zedit")) {
            EXPECT_EQ(r->size, "15 byte");
        }
    }
    MakeSureUninstallViewController confirm;
    confirm.setAllRelaltedFiles(groups);
    auto* model = confirm.outlineView()->model();
    const QModelIndex group = model->index(0, 0);
    EXPECT_EQ(model->index(0, 2).data().toString(), "1.50 KB");
    confirm.selectRemoveLanguage(model->index(0, 0, group));  // the AppImage unticked
    EXPECT_EQ(model->index(0, 2).data().toString(), "500 byte");

    // No trash button is red while the pointer is elsewhere; under it, its row's is.
    screen->resize(1000, 640);
    screen->show();
    const QImage plain = platform::imageNamed("ic_trash").toImage();
    const QImage red = platform::imageNamed("ic_trash_hover").toImage();
    auto trashOf = [&](int row) {
        return screen->model()->data(cell(*screen, row, UninstallTableModel::Trash), Qt::DecorationRole).value<QPixmap>().toImage();
    };
    for (int row = 0; row < screen->showList().size(); ++row)
        EXPECT_EQ(trashOf(row), plain) << row;
    QWidget* viewport = screen->tableView()->viewport();
    const QPoint over = screen->tableView()->visualRect(cell(*screen, 1, UninstallTableModel::Trash)).center();
    QMouseEvent move(QEvent::MouseMove, over, viewport->mapToGlobal(over), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    EXPECT_EQ(trashOf(1), red);
    EXPECT_EQ(trashOf(0), plain);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(viewport, &leave);
    EXPECT_EQ(trashOf(1), plain);
}

TEST_F(UninstallScreen, TheWholeUninstallGoesByKeysAlone)
{
    auto screen = scanned();
    screen->resize(1000, 640);
    screen->show();
    screen->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
    QTableView* table = screen->tableView();
    table->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->hasFocus(); }, 2000));
    // The first row has the keyboard, and shows it.
    ASSERT_EQ(table->currentIndex().row(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->focusRing()->ringRect().isEmpty(); }, 2000));
    const QString first = screen->showList()[0]->name;
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(screen->tickedList(0).size(), 1);
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(table->currentIndex().row(), 1);
    QTest::keyClick(table, Qt::Key_Space);
    QTest::keyClick(table, Qt::Key_Space);  // and off again
    QTest::keyClick(table, Qt::Key_Up);
    ASSERT_EQ(screen->tickedList(0).size(), 1);
    EXPECT_EQ(screen->tickedList(0)[0]->name, first);
    // Tab reaches the row's trash button, which turns red and wears the ring.
    QTest::keyClick(table, Qt::Key_Tab);
    EXPECT_EQ(table->currentIndex().column(), int(UninstallTableModel::Trash));
    EXPECT_EQ(screen->model()->highlightedRow(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return screen->focusRing()->ringRect().width() < table->visualRect(cell(*screen, 0, 0)).width() * 3;
    }, 2000));
    QTest::keyClick(table, Qt::Key_Backtab);
    EXPECT_EQ(table->currentIndex().column(), int(UninstallTableModel::CheckBox));

    // Space on the trash button: the confirmation, by keys too.
    bool closedThenOpened = false, ticksChanged = false, okByReturn = false, okByEscape = false;
    QString message;
    screen->setPanelRunner([&](PanelController* controller) {
        if (auto* confirm = qobject_cast<MakeSureUninstallViewController*>(controller)) {
            auto* outline = confirm->outlineView();
            confirm->show();
            outline->setFocus();
            auto* model = outline->model();
            const QModelIndex group = model->index(0, 0);
            outline->setCurrentIndex(group);
            QTest::keyClick(outline, Qt::Key_Left);
            const bool closed = !outline->isExpanded(group);
            QTest::keyClick(outline, Qt::Key_Right);
            closedThenOpened = closed && outline->isExpanded(group);
            // The group box ticks all, then none, then all; then two files
            // are unticked: ~/.config/zed and ~/.config/zedit stay.
            const int before = int(confirm->selectDeletePath().size());
            QTest::keyClick(outline, Qt::Key_Space);
            const int all = int(confirm->selectDeletePath().size());
            QTest::keyClick(outline, Qt::Key_Space);
            const int none = int(confirm->selectDeletePath().size());
            QTest::keyClick(outline, Qt::Key_Space);
            QTest::keyClick(outline, Qt::Key_Down);
            QTest::keyClick(outline, Qt::Key_Down);
            QTest::keyClick(outline, Qt::Key_Space);
            QTest::keyClick(outline, Qt::Key_Down);
            QTest::keyClick(outline, Qt::Key_Space);
            ticksChanged = before == 2 && all == 3 && none == 0 && confirm->selectDeletePath().size() == 1;
            QTest::keyClick(outline, Qt::Key_Return);  // Uninstall, the panel's default button
        } else if (auto* progress = qobject_cast<UninstallProgressViewController*>(controller)) {
            progress->show();
            EXPECT_TRUE(QTest::qWaitFor([&] { return progress->endShown(); }, 10000));
            message = progress->messageText();
            QSignalSpy ok(progress->okButton(), &QAbstractButton::clicked);
            QTest::keyClick(progress, Qt::Key_Return);
            okByReturn = ok.size() == 1;
            QTest::keyClick(progress, Qt::Key_Escape);
            okByEscape = ok.size() == 2;
        }
        delete controller;
    });
    QSignalSpy removed(screen.get(), &UninstallViewController::removalEnded);
    const int zed = rowOf(*screen, "Zed");
    table->setCurrentIndex(cell(*screen, zed, UninstallTableModel::Trash));
    QTest::keyClick(table, Qt::Key_Space);
    ASSERT_TRUE(removed.wait(20000));
    EXPECT_TRUE(closedThenOpened);
    EXPECT_TRUE(ticksChanged);
    EXPECT_TRUE(okByReturn);
    EXPECT_TRUE(okByEscape);
    EXPECT_FALSE(QFileInfo::exists(image));
    EXPECT_TRUE(QFileInfo::exists(tree / "home/.config/zed/settings.json"));
    EXPECT_TRUE(message.contains("Not removed, as they were not ticked:\n" + tree / "home/.config/zed"))
        << message.toStdString();
}

TEST_F(UninstallScreen, QuittingDuringARemovalAsksFirstAndQuitsOnceItHasEnded)
{
    // apt-get takes its time over the removal.
    packagedPkg("echo \"$*\" >> \"$LOG\"\n"
                "case \"$*\" in *-s*) echo 'Remv pkg [1.0]';; *) sleep 2;; esac\n");
    auto screen = scanned();
    screen->show();
    int asked = 0;
    screen->setQuitAsker([&] {
        ++asked;
        return true;
    });
    // The progress panel is closed at once: the removal goes on without it.
    screen->setPanelRunner([&](PanelController* controller) {
        if (auto* confirm = qobject_cast<MakeSureUninstallViewController*>(controller)) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return confirm->uninstallButton()->buttonEnabled(); }, 15000));
            confirm->clickedDeleteBtn();
        }
        delete controller;
    });
    QSignalSpy removed(screen.get(), &UninstallViewController::removalEnded);
    screen->trashClicked(cell(*screen, rowOf(*screen, "Pkg"), UninstallTableModel::Trash));
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->removalRunning(); }, 10000));
    EXPECT_FALSE(screen->close());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(screen->isVisible());
    EXPECT_TRUE(screen->quitsWhenDone());
    EXPECT_FALSE(screen->close());  // asked once
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(removed.wait(20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen->isVisible(); }, 5000));
    EXPECT_TRUE(screen->lastRun()->isDone());
    EXPECT_TRUE(pkgApt->log().contains("-y remove pkg"));
}
