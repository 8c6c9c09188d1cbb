#include "uninstall/ApplicationScan.h"
#include "uninstall/AsMDeleteExecutor.h"

#include "TempTree.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QString run(const QString& program, const QStringList& args, int* exitCode = nullptr)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(-1);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Purges the test's package whatever happens to the test.
struct PackageGuard
{
    QString name;
    ~PackageGuard() { run("dpkg", {"--purge", name}); }
};

}  // namespace

TEST(PackageRemoval, ARealPackageIsFoundAndRemovedByThePackageManager)
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable("dpkg-deb").isEmpty()
        || QStandardPaths::findExecutable("apt-get").isEmpty())
        GTEST_SKIP() << "needs root, dpkg-deb and apt-get";
    TempTree tree;
    const QString name = QString("tv-uninstall-probe-%1").arg(::getpid());
    const QString desktop = "/usr/share/applications/" + name + ".desktop";
    tree.file("pkg/DEBIAN/control", QString("Package: %1\nVersion: 1.0-1\nArchitecture: all\nMaintainer: Tests <t@example.org>\n"
                                            "Priority: optional\nSection: misc\nInstalled-Size: 5\nDescription: Uninstaller test package\n")
                                        .arg(name)
                                        .toUtf8());
    tree.file("pkg/usr/share/applications/" + name + ".desktop",
              QString("[Desktop Entry]\nType=Application\nName=%1\nExec=/bin/true\n").arg(name).toUtf8());
    tree.file("pkg/usr/share/" + name + "/data", QByteArray(5000, 'x'));
    int rc = -1;
    run("dpkg-deb", {"--root-owner-group", "--build", tree / "pkg", tree / "probe.deb"}, &rc);
    ASSERT_EQ(rc, 0);
    PackageGuard guard{name};
    run("dpkg", {"-i", tree / "probe.deb"}, &rc);
    ASSERT_EQ(rc, 0);

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
    const QString status = run("dpkg-query", {"-W", "-f=${db:Status-Status}", name});
    EXPECT_NE(status, "installed");
    EXPECT_FALSE(QFileInfo::exists(desktop));
}
