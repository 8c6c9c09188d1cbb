#include "uninstall/UninstallViewController.h"

#include "FakeTool.h"
#include "TempTree.h"
#include "Main/Tools/CustemOutlineView.h"
#include "ToolCon/TextImageButton.h"
#include "uninstall/UninstallProgressViewController.h"
#include "uninstall/UninstallRun.h"
#include "uninstall/UninstallTableModel.h"

#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

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
}

TEST_F(UninstallScreen, RemovalFromTheTrashButtonEndsWithATrueMessage)
{
    auto screen = scanned();
    QString message;
    bool endShownAtClose = false;
    // Confirms at once; the progress panel is "dismissed" once it shows its end.
    screen->setPanelRunner([&](PanelController* controller) {
        if (auto* confirm = qobject_cast<MakeSureUninstallViewController*>(controller)) {
            confirm->clickedDeleteBtn();
        } else if (auto* progress = qobject_cast<UninstallProgressViewController*>(controller)) {
            QTest::qWaitFor([&] { return progress->endShown(); }, 10000);
            endShownAtClose = progress->endShown();
            message = progress->messageText();
        }
        delete controller;
    });
    QSignalSpy removed(screen.get(), &UninstallViewController::removalEnded);
    screen->trashClicked(cell(*screen, rowOf(*screen, "Zed"), UninstallTableModel::Trash));
    ASSERT_TRUE(removed.wait(10000));

    EXPECT_TRUE(endShownAtClose);
    EXPECT_FALSE(QFileInfo::exists(image));
    EXPECT_FALSE(QFileInfo::exists(tree / "home/.local/share/applications/zed.desktop"));
    EXPECT_FALSE(QFileInfo::exists(tree / "home/.config/zed"));
    EXPECT_TRUE(QFileInfo::exists(tree / "home/.config/zedit/keep"));
    // 1000 bytes of AppImage and 500 of settings, counted once each.
    EXPECT_EQ(screen->lastRun()->totalSize(), 1500u);
    EXPECT_TRUE(message.startsWith("Tarnwick Vantoly has successfully removed"));
    EXPECT_TRUE(message.contains("1.50 KB"));
    EXPECT_EQ(rowOf(*screen, "Zed"), -1);
    EXPECT_EQ(screen->showList().size(), 2);
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
            QTest::qWaitFor([&] { return progress->endShown() && !progress->messageText().isEmpty(); }, 10000);
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
    EXPECT_TRUE(message.contains("0.50 KB"));  // only the settings went
    EXPECT_GE(rowOf(*screen, "Zed"), 0);
    EXPECT_TRUE(screen->lastRun()->isFail());
}

TEST(UninstallRun, FreedSpaceCountsEachPathOnce)
{
    TempTree tree;
    const QString file = tree.file("leftover", QByteArray(2000, 'z'));
    auto first = RelatedAppFilesScanner::constructItem(file, 0);
    auto second = RelatedAppFilesScanner::constructItem(file, 0);
    UninstallRun run;
    QSignalSpy ended(&run, &UninstallRun::ended);
    QList<int> percents;
    QObject::connect(&run, &UninstallRun::progressed, [&](int p, const QString&) { percents << p; });
    run.doRemove({first, second});
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(percents, QList<int>({50, 100}));
    EXPECT_EQ(run.removed().size(), 2);
    EXPECT_EQ(run.totalSize(), 2000u);
    EXPECT_TRUE(run.endMessage().contains("2.00 KB"));
}
