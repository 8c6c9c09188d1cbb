#include "uninstall/ApplicationScan.h"
#include "uninstall/AsMDeleteExecutor.h"

#include "FakeTool.h"
#include "TempTree.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QByteArray entry(const QByteArray& name, const QByteArray& exec, const QByteArray& extra = {})
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n" + extra;
}

// A dpkg-query that owns nothing and logs every call.
const char* kNoPackages = "echo \"$@\" >> \"$LOG\"\nexit 1\n";

AMAppItemPtr byName(const AMAppItemList& items, const QString& name)
{
    for (const auto& i : items)
        if (i->name == name)
            return i;
    return nullptr;
}

}  // namespace

TEST(ApplicationScan, EachKindOfApplicationBecomesOneExactRecord)
{
    TempTree tree;
    FakeTool dpkg("dpkg-query", kNoPackages);
    ScanSetup setup;
    setup.home = tree / "home";
    setup.applicationRoots = {tree.folder("home/.local/share/applications"),
                              tree.folder("var/lib/flatpak/exports/share/applications"),
                              tree.folder("usr/share/applications")};
    setup.optRoot = tree / "opt";
    setup.linkFolders = {tree.folder("bin")};
    setup.tools.dpkgQuery = dpkg.path();

    tree.file("usr/share/applications/plain.desktop", entry("Plain", "plain %U", "Icon=plain\n"));
    tree.file("usr/share/applications/hidden.desktop", entry("Hidden", "hidden", "NoDisplay=true\n"));
    tree.file("usr/share/applications/editor.desktop", entry("System Editor", "editor"));
    tree.file("home/.local/share/applications/editor.desktop", entry("My Editor", "editor"));
    // A link loop inside a root.
    tree.link("usr/share/applications/loop", tree / "usr/share");

    QByteArray appImage("\x7f" "ELF\x02\x01\x01\x00" "AI\x02", 11);
    appImage += QByteArray(100, '\0');
    const QString image = tree.file("home/Apps/Tool.AppImage", appImage);
    tree.file("home/.local/share/applications/tool.desktop", entry("Tool", "\"" + image.toUtf8() + "\" %F"));

    const QString optProgram = tree.file("opt/foo/bin/foo", "#!/bin/sh\n");
    QFile::setPermissions(optProgram, QFile::ReadOwner | QFile::ExeOwner);
    const QString optLink = tree.link("bin/foo", optProgram);
    tree.file("usr/share/applications/foo.desktop", entry("Foo", optProgram.toUtf8()));
    tree.file("usr/share/applications/foosafe.desktop", entry("Foo Safe Mode", optProgram.toUtf8() + " --safe"));

    tree.file("var/lib/flatpak/exports/share/applications/org.ex.Flat.desktop",
              entry("Flat", "/usr/bin/flatpak run org.ex.Flat", "X-Flatpak=org.ex.Flat\n"));
    tree.file("var/lib/flatpak/app/org.ex.Flat/current/active/files/share/metainfo/org.ex.Flat.metainfo.xml",
              "<component><releases><release version=\"2.1\" date=\"2026-01-01\"/>"
              "<release version=\"2.0\"/></releases></component>");

    const AMAppItemList items = ApplicationScan::applications(setup);
    QStringList names;
    for (const auto& i : items)
        names << i->name;
    names.sort();
    EXPECT_EQ(names, QStringList({"Flat", "Foo", "My Editor", "Plain", "Tool"}));

    const auto plain = byName(items, "Plain");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->kind, AppKind::Path);
    EXPECT_EQ(plain->path, tree / "usr/share/applications/plain.desktop");
    EXPECT_EQ(plain->bundleID, "plain");
    EXPECT_EQ(plain->size, "0KB");

    const auto editor = byName(items, "My Editor");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->path, tree / "home/.local/share/applications/editor.desktop");

    const auto tool = byName(items, "Tool");
    ASSERT_TRUE(tool);
    EXPECT_EQ(tool->kind, AppKind::AppImage);
    EXPECT_EQ(tool->path, image);
    EXPECT_EQ(tool->companions, QStringList({tree / "home/.local/share/applications/tool.desktop"}));

    // Two entries of one /opt program: one record, both entries and the link go with it.
    const auto foo = byName(items, "Foo");
    ASSERT_TRUE(foo);
    EXPECT_EQ(foo->kind, AppKind::OptFolder);
    EXPECT_EQ(foo->path, tree / "opt/foo");
    EXPECT_TRUE(foo->companions.contains(optLink));
    EXPECT_TRUE(foo->companions.contains(tree / "usr/share/applications/foosafe.desktop"));

    const auto flat = byName(items, "Flat");
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->kind, AppKind::Flatpak);
    EXPECT_EQ(flat->bundleID, "org.ex.Flat");
    EXPECT_EQ(flat->path, tree / "var/lib/flatpak/app/org.ex.Flat");
    EXPECT_EQ(flat->bundleVersion, "2.1");
    EXPECT_FALSE(flat->flatpakUser);

    // Package owners are asked once, for all entries together.
    const QStringList calls = dpkg.log().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_TRUE(calls[0].startsWith("-S -- "));
    EXPECT_TRUE(calls[0].contains("plain.desktop"));
    EXPECT_TRUE(calls[0].contains("tool.desktop"));
}

TEST(ApplicationScan, PackagesGiveVersionsSizesAndSystemFlags)
{
    TempTree tree;
    const QString root = tree.folder("apps");
    const QString mine = tree.file("apps/mine.desktop", entry("Mine", "mine"));
    const QString core = tree.file("apps/core.desktop", entry("Core", "core"));
    tree.file("apps/tarnwick-vantoly.desktop", entry("Tarnwick Vantoly", "tarnwick-vantoly"));
    // An /opt program a package owns, started by an entry no package owns.
    const QString optTool = tree.file("opt/tool/bin/tool", "#!/bin/sh\n");
    QFile::setPermissions(optTool, QFile::ReadOwner | QFile::ExeOwner);
    tree.file("apps/tool.desktop", entry("Tool", optTool.toUtf8()));
    FakeTool dpkg("dpkg-query",
                  "echo \"$1\" >> \"$LOG\"\n"
                  "if [ \"$1\" = -S ]; then\n"
                  "  echo 'mine-pkg: " + mine + "'\n"
                  "  echo 'diversion by x from: " + core + "'\n"
                  "  echo 'core-pkg:amd64, other: " + core + "'\n"
                  "  echo 'tool-pkg: " + optTool + "'\n"
                  "else\n"
                  "  printf 'mine-pkg\\tmine-pkg\\t1.2-3\\t2048\\t\\toptional\\tinstalled\\n'\n"
                  "  printf 'core-pkg:amd64\\tcore-pkg\\t9\\t10\\tno\\trequired\\tinstalled\\n'\n"
                  "fi\n");
    ScanSetup setup;
    setup.applicationRoots = {root};
    setup.optRoot = tree / "opt";
    setup.tools.dpkgQuery = dpkg.path();
    const auto items = ApplicationScan::applications(setup);
    ASSERT_EQ(items.size(), 4);
    const auto tool = byName(items, "Tool");
    ASSERT_TRUE(tool);
    EXPECT_EQ(tool->kind, AppKind::Package);  // never removed as a folder behind dpkg's back
    EXPECT_EQ(tool->packageName, "tool-pkg");
    const auto m = byName(items, "Mine");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, AppKind::Package);
    EXPECT_EQ(m->packageName, "mine-pkg");
    EXPECT_EQ(m->bundleVersion, "1.2-3");
    EXPECT_EQ(m->knownBytes, 2048u * 1024);
    EXPECT_FALSE(m->isSystemApp);
    EXPECT_EQ(m->isSystemAppStr, "NO");
    const auto c = byName(items, "Core");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->packageName, "core-pkg:amd64");
    EXPECT_TRUE(c->isSystemApp);
    EXPECT_EQ(c->isSystemAppStr, "YES");
    EXPECT_TRUE(byName(items, "Tarnwick Vantoly")->isSystemApp);
    EXPECT_EQ(dpkg.log(), "-S\n-W\n");
}

TEST(ApplicationScan, WidgetAndPluginWalkersEndOnLoopsAndStopAtRecords)
{
    TempTree tree;
    FakeTool dpkg("dpkg-query", kNoPackages);
    ScanSetup setup;
    setup.tools.dpkgQuery = dpkg.path();
    setup.widgetRoots = {tree.folder("ext"), tree / "missing"};
    setup.pluginRoots = {tree.folder("plug")};
    tree.file("ext/clock@ex.org/metadata.json", R"({"uuid":"clock@ex.org","name":"Clock","version":4})");
    tree.file("ext/clock@ex.org/inner/metadata.json", "{}");  // inside a record: not walked
    tree.file("ext/group/board/metadata.desktop", "[Desktop Entry]\nName=Board\n");
    tree.link("ext/group/again", tree / "ext");
    tree.file("plug/libflash.so", "x");
    tree.file("plug/ibus/anthy.xml", "x");
    tree.file("plug/ibus/readme.txt", "x");
    tree.file("plug/UPPER.SO", "x");
    tree.link("plug/ibus/up", tree / "plug");

    const auto widgets = ApplicationScan::widgets(setup);
    ASSERT_EQ(widgets.size(), 2);
    EXPECT_EQ(widgets[0]->name, "Clock");
    EXPECT_EQ(widgets[0]->bundleID, "clock@ex.org");
    EXPECT_EQ(widgets[0]->bundleVersion, "4");
    EXPECT_EQ(widgets[1]->name, "Board");
    EXPECT_EQ(widgets[1]->path, tree / "ext/group/board");

    const auto plugins = ApplicationScan::plugins(setup);
    QStringList paths;
    for (const auto& p : plugins)
        paths << p->path;
    paths.sort();
    EXPECT_EQ(paths, QStringList({tree / "plug/ibus/anthy.xml", tree / "plug/libflash.so"}));
}

namespace {


AMAppItemPtr byPath(const AMAppItemList& items, const QString& path)
{
    for (const auto& i : items)
        if (i->path == path)
            return i;
    return nullptr;
}

QString program(TempTree& tree, const QString& rel)
{
    const QString path = tree.file(rel, "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    return path;
}

}  // namespace

TEST(ApplicationScan, APackagedProgramListedFromAUsersCopyGoesOnlyThroughThePackageManager)
{
    TempTree tree;
    const QString pkgProgram = program(tree, "opt/pkg/bin/pkg");
    const QString systemEntry = tree.file("usr/share/applications/pkg.desktop", entry("Pkg", pkgProgram.toUtf8()));
    const QString userCopy =
        tree.file("home/.local/share/applications/pkg.desktop", entry("Pkg", pkgProgram.toUtf8() + " --no-sandbox"));
    // The package owns its entry, its program and its folder, never the user's copy.
    FakeTool dpkg("dpkg-query",
                  "if [ \"$1\" = -S ]; then shift 2\n"
                  "  for p; do case \"$p\" in '" + systemEntry + "'|'" + tree / "opt/pkg" + "'*) echo \"pkg: $p\";; esac; done\n"
                  "  exit 0; fi\n"
                  "if [ \"$2\" = '-f=${db:Status-Status}' ]; then cat \"$(dirname \"$LOG\")/state\" 2>/dev/null || echo installed; exit 0; fi\n"
                  "printf 'pkg\\tpkg\\t3.0\\t4096\\tno\\toptional\\tinstalled\\n'\n");
    FakeTool apt("apt-get", "echo \"$*\" >> \"$LOG\"\n"
                            "if [ -e \"$(dirname \"$LOG\")/refuse\" ]; then echo 'E: refused' >&2; exit 100; fi\n"
                            "if [ \"$1\" = -s ]; then echo 'Remv pkg [3.0]'; exit 0; fi\n"
                            "echo removed > '" + dpkg.folder() + "/state'\n");
    ScanSetup setup;
    setup.home = tree / "home";
    setup.applicationRoots = {tree / "home/.local/share/applications", tree / "usr/share/applications"};
    setup.optRoot = tree / "opt";
    setup.linkFolders = {};
    setup.tools.dpkgQuery = dpkg.path();
    setup.tools.aptGet = apt.path();

    const auto items = ApplicationScan::applications(setup);
    ASSERT_EQ(items.size(), 1);
    const AMAppItemPtr pkg = items[0];
    EXPECT_EQ(pkg->kind, AppKind::Package);
    EXPECT_EQ(pkg->packageName, "pkg");
    EXPECT_EQ(pkg->path, userCopy);
    EXPECT_EQ(pkg->companions, QStringList{userCopy});
    EXPECT_EQ(pkg->knownBytes, 4096u * 1024);

    AsMDeleteExecutor executor;
    executor.setTools(setup.tools);
    executor.setUser(platform::InvokingUser{0, 0, "root", {}});

    // A plan the package manager refuses removes nothing at all.
    QFile(apt.folder() + "/refuse").open(QIODevice::WriteOnly);
    EXPECT_FALSE(AsMDeleteExecutor::planPackageRemoval(*pkg, setup.tools));
    EXPECT_FALSE(executor.removeTrahFile(pkg));
    EXPECT_TRUE(QFileInfo::exists(pkgProgram));
    EXPECT_TRUE(QFileInfo::exists(userCopy));
    QFile::remove(apt.folder() + "/refuse");

    ASSERT_TRUE(AsMDeleteExecutor::planPackageRemoval(*pkg, setup.tools));
    EXPECT_EQ(pkg->alsoRemoves, QStringList{"pkg"});
    EXPECT_TRUE(executor.removeTrahFile(pkg)) << pkg->failReason.toStdString();
    EXPECT_TRUE(apt.log().contains("-y remove pkg"));
    // The folder is the package manager's to remove (the fake leaves it); the user's copy goes after it.
    EXPECT_TRUE(QFileInfo::exists(pkgProgram));
    EXPECT_TRUE(QFileInfo::exists(systemEntry));
    EXPECT_FALSE(QFileInfo::exists(userCopy));
    // The package's installed size and the user's copy that went after it.
    EXPECT_EQ(pkg->freedBytes, 4096u * 1024 + uint64_t(entry("Pkg", pkgProgram.toUtf8() + " --no-sandbox").size()));
}

TEST(ApplicationScan, ProgramsSharingAVendorFolderAndWebAppLaunchersAreItemsOfTheirOwn)
{
    TempTree tree;
    FakeTool dpkg("dpkg-query", kNoPackages);
    ScanSetup setup;
    setup.home = tree / "home";
    setup.applicationRoots = {tree.folder("home/.local/share/applications"), tree.folder("usr/share/applications")};
    setup.optRoot = tree / "opt";
    setup.linkFolders = {};
    setup.tools.dpkgQuery = dpkg.path();

    const QString alpha = program(tree, "opt/vendor/alpha/alpha");
    tree.file("opt/vendor/alpha/data", QByteArray(100, 'a'));
    const QString beta = program(tree, "opt/vendor/beta/bin/beta");
    const QString alphaEntry = tree.file("usr/share/applications/alpha.desktop", entry("Alpha", alpha.toUtf8()));
    const QString betaEntry = tree.file("usr/share/applications/beta.desktop", entry("Beta", beta.toUtf8() + " %U"));
    // A program lying in its vendor folder, beside another program's folder.
    const QString gamma = program(tree, "opt/other/gamma");
    const QString delta = program(tree, "opt/other/delta/delta");
    tree.file("usr/share/applications/gamma.desktop", entry("Gamma", gamma.toUtf8()));
    tree.file("usr/share/applications/delta.desktop", entry("Delta", delta.toUtf8()));
    // A browser and a web app it made.
    const QString browser = program(tree, "opt/browser/browser");
    const QString browserEntry = tree.file("usr/share/applications/browser.desktop", entry("Browser", browser.toUtf8() + " %U"));
    const QString webApp = tree.file("home/.local/share/applications/browser-abc-Default.desktop",
                                     entry("Mail", browser.toUtf8() + " --profile-directory=Default --app-id=abc"));

    const auto items = ApplicationScan::applications(setup);
    ASSERT_EQ(items.size(), 6);
    const auto a = byName(items, "Alpha");
    const auto b = byName(items, "Beta");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->kind, AppKind::OptFolder);
    EXPECT_EQ(a->path, tree / "opt/vendor/alpha");
    EXPECT_EQ(a->companions, QStringList{alphaEntry});
    EXPECT_EQ(b->path, tree / "opt/vendor/beta");
    EXPECT_EQ(b->companions, QStringList{betaEntry});
    // /opt/other holds delta's folder: gamma never takes it along.
    EXPECT_EQ(byName(items, "Gamma")->path, gamma);
    EXPECT_EQ(byName(items, "Delta")->path, tree / "opt/other/delta");
    const auto mail = byName(items, "Mail");
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->kind, AppKind::Path);
    EXPECT_EQ(mail->path, webApp);
    EXPECT_EQ(byName(items, "Browser")->companions, QStringList{browserEntry});

    AsMDeleteExecutor executor;
    executor.setUser(platform::InvokingUser{0, 0, "root", {}});
    EXPECT_TRUE(executor.removeTrahFile(a));
    EXPECT_FALSE(QFileInfo::exists(tree / "opt/vendor/alpha"));
    EXPECT_FALSE(QFileInfo::exists(alphaEntry));
    EXPECT_TRUE(QFileInfo::exists(beta));
    EXPECT_TRUE(QFileInfo::exists(betaEntry));
    EXPECT_TRUE(executor.removeTrahFile(byName(items, "Gamma")));
    EXPECT_FALSE(QFileInfo::exists(gamma));
    EXPECT_TRUE(QFileInfo::exists(delta));
    EXPECT_TRUE(executor.removeTrahFile(mail));
    EXPECT_FALSE(QFileInfo::exists(webApp));
    EXPECT_TRUE(QFileInfo::exists(browser));
    EXPECT_TRUE(QFileInfo::exists(browserEntry));
}

TEST(ApplicationScan, TheProgramExecStartsDecidesThePackageTryExecOnlyHidesTheEntry)
{
    TempTree tree;
    const QString root = tree.folder("home/.local/share/applications");
    const QString packaged = tree.file("usr/bin/xdo", "#!/bin/sh\n");
    const QString script = tree.file("home/bin/my-script", "#!/bin/sh\n");
    for (const QString& p : {packaged, script})
        QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString launcher = tree.file("home/.local/share/applications/mine.desktop",
                                       entry("Mine", script.toUtf8()) + "TryExec=" + packaged.toUtf8() + "\n");
    // And one whose TryExec is missing: not shown at all.
    tree.file("home/.local/share/applications/gone.desktop",
              entry("Gone", script.toUtf8()) + "TryExec=" + (tree / "usr/bin/missing").toUtf8() + "\n");
    FakeTool dpkg("dpkg-query", "if [ \"$1\" = -S ]; then\n"
                                "  for p; do [ \"$p\" = '" + packaged + "' ] && echo 'xdo: " + packaged + "'; done; exit 0\n"
                                "fi\n"
                                "printf 'xdo\\txdo\\t3.0\\t100\\tno\\toptional\\tinstalled\\n'\n");
    ScanSetup setup;
    setup.home = tree / "home";
    setup.applicationRoots = {root};
    setup.optRoot = tree / "opt";
    setup.linkFolders = {};
    setup.tools.dpkgQuery = dpkg.path();
    const AMAppItemList items = ApplicationScan::applications(setup);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->name, "Mine");
    EXPECT_EQ(items[0]->kind, AppKind::Path);
    EXPECT_EQ(items[0]->packageName, "");
    EXPECT_EQ(items[0]->path, launcher);
}
