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
        screen->trashClicked(screen->model()->index(rowOf(name), UninstallTableModel::Trash));
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
    program.files = {{entryPath, desktopEntry("TvBase", "/bin/true")}};
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
    const QByteArray copy = desktopEntry("TvBase", "/bin/true") + "Comment=mine\n";
    const QString userCopy = s.tree.file("home/.local/share/applications/" + base + ".desktop", copy);
    const QString settings = s.tree.file("home/.config/" + base + "/settings", QByteArray(800, 's'));
    s.scan();
    const int row = s.rowOf("TvBase");
    ASSERT_GE(row, 0);
    const AMAppItemPtr record = s.screen->showList()[row];
    // No Installed-Size: not its desktop entry's size either.
    s.screen->model()->data(s.screen->model()->index(row, UninstallTableModel::Size), Qt::DisplayRole);
    QTest::qWait(500);
    EXPECT_EQ(record->size, "0KB");

    QString sizeShown;
    s.removeRow("TvBase", [&](MakeSureUninstallViewController* confirm) {
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
    spec.files = {{"/usr/share/applications/" + name + ".desktop", desktopEntry("TvBrowser", tool)}, {tool, "#!/bin/sh\n"}};
    spec.programs = {tool};
    ThrowawayPackages packages({spec});
    ASSERT_EQ(packages.error(), "");

    RealScreen s;
    // Two launchers of the user's: a copy of the entry and one with an extra option.
    const QString copy = s.tree.file("home/.local/share/applications/" + name + ".desktop",
                                     desktopEntry("TvBrowser", tool));
    const QString privateOne = s.tree.file("home/.local/share/applications/" + name + "-private.desktop",
                                           desktopEntry("TvBrowser Private", tool + " --private-window"));
    s.scan();
    ASSERT_GE(s.rowOf("TvBrowser"), 0);
    ASSERT_GE(s.rowOf("TvBrowser Private"), 0);
    EXPECT_EQ(s.screen->showList()[s.rowOf("TvBrowser Private")]->packageName, name);

    QStringList offered;
    s.removeRow("TvBrowser", [&](MakeSureUninstallViewController* confirm) {
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
    EXPECT_EQ(s.rowOf("TvBrowser"), -1);
    EXPECT_EQ(s.rowOf("TvBrowser Private"), -1);
}
