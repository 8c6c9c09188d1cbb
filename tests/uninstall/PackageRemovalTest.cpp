#include "uninstall/ApplicationScan.h"
#include "uninstall/AsMDeleteExecutor.h"
#include "uninstall/UninstallProgressViewController.h"
#include "uninstall/UninstallRun.h"
#include "uninstall/UninstallTableModel.h"
#include "uninstall/UninstallViewController.h"

#include "Comm/CommUti.h"
#include "Main/Tools/CustemOutlineView.h"
#include "TempTree.h"
#include "ThrowawayPackage.h"
#include "ToolCon/TextImageButton.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray desktopEntry(const QString& name, const QString& exec)
{
    return QString("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n").arg(name, exec).toUtf8();
}

AMAppItemPtr packageRecord(const QString& name, const QString& entry)
{
    auto item = std::make_shared<AMAppItem>();
    item->kind = AppKind::Package;
    item->packageName = name;
    item->path = entry;
    return item;
}

// The package manager's lock that another program on this machine holds a
// while (an install of its own) is waited for, not reported as a failure.
PackageTools waitingTools()
{
    PackageTools tools;
    tools.lockWaitSeconds = 600;
    return tools;
}

QString removeAndTell(const AMAppItemPtr& item, UninstallRun& run)
{
    QSignalSpy ended(&run, &UninstallRun::ended);
    run.doRemove({item});
    EXPECT_TRUE(ended.wait(60000));
    return run.endMessage();
}

}  // namespace

TEST(PackageRemoval, ARealPackageIsFoundAndRemovedByThePackageManager)
{
    if (!ThrowawayPackages::available())
        GTEST_SKIP() << "needs root, dpkg-deb and apt-get";
    const QString name = ThrowawayPackages::nameFor("probe");
    const QString desktop = "/usr/share/applications/" + name + ".desktop";
    DebSpec spec(name);
    spec.installedSizeKiB = 5;
    spec.files = {{"/usr/share/applications/" + name + ".desktop", desktopEntry(name, "/bin/true")},
                  {"/usr/share/" + name + "/data", QByteArray(5000, 'x')}};
    ThrowawayPackages packages({spec});
    ASSERT_EQ(packages.error(), "");

    ScanSetup setup;
    setup.applicationRoots = {"/usr/share/applications"};
    const auto items = ApplicationScan::applications(setup);
    AMAppItemPtr item;
    for (const auto& i : items)
        if (i->path == desktop)
            item = i;
    ASSERT_TRUE(item);
    EXPECT_EQ(item->kind, AppKind::Package);
    EXPECT_EQ(item->packageName, name);
    EXPECT_EQ(item->bundleVersion, "1.0-1");
    EXPECT_FALSE(item->isSystemApp);

    ASSERT_TRUE(AsMDeleteExecutor::planPackageRemoval(*item, setup.tools)) << item->failReason.toStdString();
    EXPECT_EQ(item->alsoRemoves, QStringList{name});
    AsMDeleteExecutor executor;
    executor.setTools(waitingTools());
    EXPECT_TRUE(executor.removeTrahFile(item)) << item->failReason.toStdString();
    EXPECT_EQ(item->freedBytes, 5u * 1024);
    EXPECT_FALSE(ThrowawayPackages::installed(name));
    EXPECT_FALSE(QFileInfo::exists(desktop));
}

TEST(PackageRemoval, ARefusedRemovalNamesThePackageAndAptsReason)
{
    if (!ThrowawayPackages::available())
        GTEST_SKIP() << "needs root, dpkg-deb and apt-get";
    const QString name = ThrowawayPackages::nameFor("refuses");
    const QString desktop = "/usr/share/applications/" + name + ".desktop";
    DebSpec spec(name);
    spec.installedSizeKiB = 3;
    spec.files = {{desktop, desktopEntry(name, "/bin/true")}};
    spec.prerm = "exit 1";
    ThrowawayPackages packages({spec});
    ASSERT_EQ(packages.error(), "");

    // Its removal script exits 1.
    auto item = packageRecord(name, desktop);
    ASSERT_TRUE(AsMDeleteExecutor::planPackageRemoval(*item, {}));
    UninstallRun run;
    run.executor().setTools(waitingTools());
    const QString message = removeAndTell(item, run);
    EXPECT_TRUE(ThrowawayPackages::installed(name));
    EXPECT_TRUE(QFileInfo::exists(desktop));
    ASSERT_EQ(run.failed().size(), 1);
    EXPECT_TRUE(message.contains(QString("The package %1 could not be removed: ").arg(name))) << message.toStdString();
    EXPECT_TRUE(message.contains("pre-removal script subprocess returned error exit status 1."))
        << message.toStdString();
    // Not its desktop entry: the package is what failed.
    EXPECT_FALSE(message.contains(desktop + "\n")) << message.toStdString();
    EXPECT_FALSE(message.endsWith(desktop)) << message.toStdString();

    // Another program holds the package manager's lock.
    const int lock = ::open("/var/lib/dpkg/lock-frontend", O_RDWR | O_CREAT | O_CLOEXEC, 0640);
    ASSERT_GE(lock, 0);
    struct flock hold{};
    hold.l_type = F_WRLCK;
    hold.l_whence = SEEK_SET;
    // Another checkout's dpkg may hold it for a moment.
    ASSERT_TRUE(QTest::qWaitFor([&] { return ::fcntl(lock, F_SETLK, &hold) == 0; }, 300000));
    UninstallRun locked;
    const QString lockMessage = removeAndTell(item, locked);
    ::close(lock);
    EXPECT_TRUE(lockMessage.contains(QString("The package %1 could not be removed: another program is using the "
                                             "package manager; try again when it ends.")
                                         .arg(name)))
        << lockMessage.toStdString();
    EXPECT_TRUE(ThrowawayPackages::installed(name));
}

namespace {

// The screen over the real package tools, the real system applications and
// a fixture home, with leftovers looked for in fixture system folders.
struct RealScreen
{
    TempTree tree;
    ScanSetup setup;
    RelatedRoots roots;
    std::unique_ptr<UninstallViewController> screen;
    QString message;

    RealScreen()
    {
        setup.home = tree / "home";
        setup.applicationRoots = {tree.folder("home/.local/share/applications"), "/usr/share/applications"};
        setup.optRoot = tree / "opt";
        setup.linkFolders = {};
        setup.tools = waitingTools();
        roots = RelatedRoots::forHome(tree / "home");
        roots.etc = tree.folder("etc");
        roots.varCache = tree / "var/cache";
        roots.varLib = tree / "var/lib";
        roots.varLog = tree / "var/log";
    }

    void scan()
    {
        screen = std::make_unique<UninstallViewController>(setup, roots, false);
        QSignalSpy ended(screen.get(), &UninstallViewController::scanEnded);
        screen->begimScanFile();
        EXPECT_TRUE(ended.wait(60000));
    }

    int rowOf(const QString& name) const
    {
        for (int i = 0; i < screen->showList().size(); ++i)
            if (screen->showList()[i]->name == name)
                return i;
        return -1;
    }

    // Presses the row's trash button, lets `look` see the confirmation once
    // its plan is in, presses Uninstall and waits for the end view.
    void removeRow(const QString& name, const std::function<void(MakeSureUninstallViewController*)>& look)
    {
        run(look, [&] { screen->trashClicked(screen->model()->index(rowOf(name), UninstallTableModel::Trash)); });
    }

    // The same for what `start` sets off (Uninstall of the ticked rows).
    void run(const std::function<void(MakeSureUninstallViewController*)>& look, const std::function<void()>& start)
    {
        screen->setPanelRunner([&](PanelController* controller) {
            if (auto* confirm = qobject_cast<MakeSureUninstallViewController*>(controller)) {
                EXPECT_TRUE(QTest::qWaitFor([&] { return confirm->uninstallButton()->buttonEnabled(); }, 60000));
                look(confirm);
                confirm->clickedDeleteBtn();
            } else if (auto* progress = qobject_cast<UninstallProgressViewController*>(controller)) {
                EXPECT_TRUE(QTest::qWaitFor([&] { return progress->endShown() && !progress->messageText().isEmpty(); },
                                            120000));
                message = progress->messageText();
            }
            delete controller;
        });
        QSignalSpy removed(screen.get(), &UninstallViewController::removalEnded);
        start();
        EXPECT_TRUE(removed.wait(180000));
    }
};

// What apt says removing `package` frees, in bytes, read from its own summary.
double aptFreedBytes(const QString& package, double* unit)
{
    QString out;
    runPackageTool("env", {"LC_ALL=C", "apt-get", "remove", "--assume-no", package}, &out);
    const auto m = QRegularExpression("After this operation, ([0-9.]+) (B|kB|MB) disk space will be freed").match(out);
    if (!m.hasMatch())
        return -1;
    *unit = m.captured(2) == "MB" ? 1e6 : m.captured(2) == "kB" ? 1e3 : 1;
    return m.captured(1).toDouble() * *unit;
}

}  // namespace

TEST(PackageRemoval, APlanOfSeveralPackagesIsSizedAsAptSaysAndTheEndViewCountsEverythingRemoved)
{
    if (!ThrowawayPackages::available())
        GTEST_SKIP() << "needs root, dpkg-deb and apt-get";
    const QString base = ThrowawayPackages::nameFor("base");
    const QString entryPath = "/usr/share/applications/" + base + ".desktop";
    // The program itself says nothing of its size; the two that need it do.
    DebSpec program(base);
    // Named after its package: another checkout may run this test at the same time.
    program.files = {{entryPath, desktopEntry(base, "/bin/true")}};
    DebSpec plugin(ThrowawayPackages::nameFor("plugin"));
    plugin.installedSizeKiB = 7;
    plugin.depends = {base};
    DebSpec extra(ThrowawayPackages::nameFor("extra"));
    extra.installedSizeKiB = 11;
    extra.depends = {base};
    ThrowawayPackages packages({program, plugin, extra});
    ASSERT_EQ(packages.error(), "");
    double unit = 1;
    const double aptSays = aptFreedBytes(base, &unit);
    ASSERT_GT(aptSays, 0);

    RealScreen s;
    // The user's own copy of its entry, and its settings.
    const QByteArray copy = desktopEntry(base, "/bin/true") + "Comment=mine\n";
    const QString userCopy = s.tree.file("home/.local/share/applications/" + base + ".desktop", copy);
    const QString settings = s.tree.file("home/.config/" + base + "/settings", QByteArray(800, 's'));
    s.scan();
    const int row = s.rowOf(base);
    ASSERT_GE(row, 0);
    const AMAppItemPtr record = s.screen->showList()[row];
    // No Installed-Size: not its desktop entry's size either.
    s.screen->model()->data(s.screen->model()->index(row, UninstallTableModel::Size), Qt::DisplayRole);
    QTest::qWait(500);
    EXPECT_EQ(record->size, "0KB");

    QString sizeShown;
    s.removeRow(base, [&](MakeSureUninstallViewController* confirm) {
        const QModelIndex group = confirm->outlineView()->model()->index(0, 0);
        sizeShown = confirm->outlineView()->model()->index(0, 2, group).data().toString();
    });
    const uint64_t plan = (7 + 11) * 1024;
    EXPECT_EQ(sizeShown, CommUti::convertVolSpace(plan));
    EXPECT_LE(std::abs(double(plan) - aptSays), unit / 10) << aptSays;

    EXPECT_FALSE(ThrowawayPackages::installed(base));
    EXPECT_FALSE(ThrowawayPackages::installed(plugin.name));
    EXPECT_FALSE(ThrowawayPackages::installed(extra.name));
    EXPECT_FALSE(QFileInfo::exists(userCopy));
    EXPECT_FALSE(QFileInfo::exists(settings));
    // The packages, the user's copy and the settings.
    const uint64_t total = plan + copy.size() + 800;
    EXPECT_EQ(s.screen->lastRun()->totalSize(), total);
    EXPECT_TRUE(s.message.contains(CommUti::convertVolSpace(total) + " of disk space was freed"))
        << s.message.toStdString();
    EXPECT_FALSE(QFileInfo::exists(entryPath));
}

TEST(PackageRemoval, EveryLauncherOfAPackageIsOfferedWithItAndNoneStaysListed)
{
    if (!ThrowawayPackages::available())
        GTEST_SKIP() << "needs root, dpkg-deb and apt-get";
    const QString name = ThrowawayPackages::nameFor("browser");
    const QString tool = "/usr/bin/" + name;
    DebSpec spec(name);
    spec.installedSizeKiB = 4;
    spec.files = {{"/usr/share/applications/" + name + ".desktop", desktopEntry(name, tool)}, {tool, "#!/bin/sh\n"}};
    spec.programs = {tool};
    ThrowawayPackages packages({spec});
    ASSERT_EQ(packages.error(), "");

    RealScreen s;
    // Two launchers of the user's: a copy of the entry and one with an extra option.
    const QString copy = s.tree.file("home/.local/share/applications/" + name + ".desktop",
                                     desktopEntry(name, tool));
    const QString privateOne = s.tree.file("home/.local/share/applications/" + name + "-private.desktop",
                                           desktopEntry(name + " Private", tool + " --private-window"));
    s.scan();
    ASSERT_GE(s.rowOf(name), 0);
    ASSERT_GE(s.rowOf(name + " Private"), 0);
    EXPECT_EQ(s.screen->showList()[s.rowOf(name + " Private")]->packageName, name);

    QStringList offered;
    s.removeRow(name, [&](MakeSureUninstallViewController* confirm) {
        for (const AMAppGroup& group : confirm->allRelaltedFiles())
            for (const AMAppItemPtr& r : group)
                if (confirm->isTicked(r.get()))
                    offered << r->path;
    });
    EXPECT_TRUE(offered.contains(copy)) << offered.join(' ').toStdString();
    EXPECT_TRUE(offered.contains(privateOne)) << offered.join(' ').toStdString();
    EXPECT_FALSE(ThrowawayPackages::installed(name));
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_FALSE(QFileInfo::exists(privateOne));
    EXPECT_TRUE(s.message.contains("successfully removed")) << s.message.toStdString();
    // No row of it stays, without a Refresh.
    EXPECT_EQ(s.rowOf(name), -1);
    EXPECT_EQ(s.rowOf(name + " Private"), -1);
}

TEST(PackageRemoval, AProgramThatStaysKeepsItsSettingsAndTheEndViewSaysWhy)
{
    if (!ThrowawayPackages::available())
        GTEST_SKIP() << "needs root, dpkg-deb and apt-get";
    const QString name = ThrowawayPackages::nameFor("stays");
    DebSpec spec(name);
    spec.installedSizeKiB = 2;
    spec.files = {{"/usr/share/applications/" + name + ".desktop", desktopEntry(name, "/bin/true")}};
    spec.prerm = "exit 1";  // its removal script refuses
    ThrowawayPackages packages({spec});
    ASSERT_EQ(packages.error(), "");

    RealScreen s;
    const QString settings = s.tree.file("home/.config/" + name + "/settings", QByteArray(300, 's'));
    const QString folder = QFileInfo(settings).path();
    s.scan();
    ASSERT_GE(s.rowOf(name), 0);
    bool settingsTicked = false;
    s.removeRow(name, [&](MakeSureUninstallViewController* confirm) {
        for (const AMAppItemPtr& r : confirm->allRelaltedFiles().value(0))
            if (r->path == folder)
                settingsTicked = confirm->isTicked(r.get());
    });
    EXPECT_TRUE(settingsTicked);
    EXPECT_TRUE(ThrowawayPackages::installed(name));
    // The program stays, and so do its settings.
    EXPECT_TRUE(QFileInfo::exists(settings));
    EXPECT_TRUE(s.message.contains(QString("The package %1 could not be removed: ").arg(name))) << s.message.toStdString();
    EXPECT_TRUE(s.message.contains(QString("Kept, as the program they belong to is still there:\n%1 (the package %2 could "
                                           "not be removed)")
                                       .arg(folder, name)))
        << s.message.toStdString();
    EXPECT_FALSE(s.message.contains("successfully")) << s.message.toStdString();
    EXPECT_GE(s.rowOf(name), 0);
}

TEST(PackageRemoval, APackageBehindTwoEntriesGoesAsOneAndIsNamedOnceByWhatWasDone)
{
    if (!ThrowawayPackages::available())
        GTEST_SKIP() << "needs root, dpkg-deb and apt-get";
    const QString name = ThrowawayPackages::nameFor("twoentries");
    const QString entryA = "/usr/share/applications/" + name + "-a.desktop";
    const QString entryB = "/usr/share/applications/" + name + "-b.desktop";
    DebSpec spec(name);
    spec.installedSizeKiB = 3;
    spec.files = {{entryA, desktopEntry(name + " A", "/bin/true")}, {entryB, desktopEntry(name + " B", "/bin/true")}};
    ThrowawayPackages packages({spec});
    ASSERT_EQ(packages.error(), "");

    RealScreen s;
    // Settings of the first entry's, left unticked: the end view then lists what it did.
    const QString settings = s.tree.file("home/.config/" + name + "-a/settings", "a=1\n");
    const QString settingsFolder = QFileInfo(settings).path();
    s.scan();
    ASSERT_GE(s.rowOf(name + " A"), 0);
    ASSERT_GE(s.rowOf(name + " B"), 0);
    CheckButtonCell box;
    for (const QString& row : {name + " A", name + " B"})
        s.screen->clickButtonAction(&box, s.screen->model()->index(s.rowOf(row), UninstallTableModel::CheckBox));
    bool otherFollowedUntick = false, bothTickedAgain = false;
    s.run([&](MakeSureUninstallViewController* confirm) {
        const auto& groups = confirm->allRelaltedFiles();
        ASSERT_EQ(groups.size(), 2);
        auto* model = confirm->outlineView()->model();
        // Unticking the package in one group unticks it in the other: it is one package.
        confirm->selectRemoveLanguage(model->index(0, 0, model->index(0, 0)));
        otherFollowedUntick = !confirm->isTicked(groups[1][0].get()) && !confirm->isTicked(groups[0][0].get());
        // Ticked again in the other group, it shows as going in both.
        confirm->selectRemoveLanguage(model->index(0, 0, model->index(1, 0)));
        bothTickedAgain = confirm->isTicked(groups[0][0].get()) && confirm->isTicked(groups[1][0].get());
        EXPECT_EQ(confirm->planText(), "Packages to be removed: " + name);
        for (int i = 0; i < groups[0].size(); ++i)
            if (groups[0][i]->path == settingsFolder)
                confirm->selectRemoveLanguage(model->index(i, 0, model->index(0, 0)));
        confirm->clickedDeleteBtn();
    }, [&] { s.screen->uninstallAppButtonAction(); });
    EXPECT_TRUE(otherFollowedUntick);
    EXPECT_TRUE(bothTickedAgain);
    EXPECT_FALSE(ThrowawayPackages::installed(name));
    // Once, and as removed.
    EXPECT_EQ(s.message.count("the package " + name + " ("), 1) << s.message.toStdString();
    EXPECT_TRUE(s.message.contains("Removed:\nthe package " + name + " (")) << s.message.toStdString();
    EXPECT_TRUE(s.message.contains("Not removed, as they were not ticked:\n" + settingsFolder)) << s.message.toStdString();
    EXPECT_TRUE(QFileInfo::exists(settings));
    EXPECT_EQ(s.rowOf(name + " A"), -1);
    EXPECT_EQ(s.rowOf(name + " B"), -1);
}

TEST(PackageRemoval, APackagesConfigurationFilesAreARowOfTheirOwnAndTheEndViewSaysWhichStayed)
{
    if (!ThrowawayPackages::available())
        GTEST_SKIP() << "needs root, dpkg-deb and apt-get";
    QList<DebSpec> specs;
    for (const char* tag : {"keepsconf", "purged"}) {
        const QString name = ThrowawayPackages::nameFor(tag);
        DebSpec spec(name);
        spec.installedSizeKiB = 2;
        const QString conf = "/etc/" + name + "/" + name + ".conf";
        spec.files = {{"/usr/share/applications/" + name + ".desktop", desktopEntry(name, "/bin/true")},
                      {conf, "setting=1\n"}};
        spec.conffiles = {conf};
        specs << spec;
    }
    ThrowawayPackages packages(specs);
    ASSERT_EQ(packages.error(), "");
    const QString kept = specs[0].name, purged = specs[1].name;
    const QString keptConf = "/etc/" + kept + "/" + kept + ".conf";
    const QString purgedConf = "/etc/" + purged + "/" + purged + ".conf";

    RealScreen s;
    s.scan();
    auto configRow = [](MakeSureUninstallViewController* confirm, int* at) -> AMAppItemPtr {
        const AMAppGroup group = confirm->allRelaltedFiles().value(0);
        for (int i = 0; i < group.size(); ++i)
            if (group[i]->kind == AppKind::PackageConfig) {
                *at = i;
                return group[i];
            }
        return nullptr;
    };
    // Removed, its configuration files left unticked.
    bool startedTicked = false;
    QStringList files;
    s.removeRow(kept, [&](MakeSureUninstallViewController* confirm) {
        int at = -1;
        const AMAppItemPtr config = configRow(confirm, &at);
        ASSERT_TRUE(config);
        files = config->configFiles;
        startedTicked = confirm->isTicked(config.get());
        auto* model = confirm->outlineView()->model();
        confirm->selectRemoveLanguage(model->index(at, 0, model->index(0, 0)));
    });
    EXPECT_TRUE(startedTicked);
    EXPECT_EQ(files, QStringList{keptConf});
    EXPECT_EQ(packageState(kept), "config-files");
    EXPECT_TRUE(QFileInfo::exists(keptConf));
    EXPECT_FALSE(s.message.contains("all associated files")) << s.message.toStdString();
    EXPECT_TRUE(s.message.contains(QString("The configuration files of the package %1 stayed: %2.").arg(kept, keptConf)))
        << s.message.toStdString();

    // Ticked, as offered: a purge.
    s.removeRow(purged, [&](MakeSureUninstallViewController* confirm) {
        int at = -1;
        EXPECT_TRUE(configRow(confirm, &at));
    });
    EXPECT_EQ(packageState(purged), "");
    EXPECT_FALSE(QFileInfo::exists(purgedConf));
    EXPECT_TRUE(s.message.contains("successfully removed")) << s.message.toStdString();
}
