#include "uninstall/RelatedAppFilesScanner.h"

#include "FakeTool.h"
#include "TempTree.h"

#include <QHash>

#include <gtest/gtest.h>

namespace {

AMAppItemPtr app(const QString& name, const QString& id, const QString& path)
{
    auto item = RelatedAppFilesScanner::constructItem(path, 1);
    item->name = name;
    item->bundleID = id;
    return item;
}

// path relative to the tree -> ticked at the start
QHash<QString, bool> listing(const AMAppGroup& group, const TempTree& tree)
{
    QHash<QString, bool> out;
    for (qsizetype i = 1; i < group.size(); ++i)
        out.insert(group[i]->path.mid(tree.path().size() + 1), group[i]->defaultTicked);
    return out;
}

}  // namespace

TEST(RelatedFiles, OnlyTheProgramsOwnNamesStartTickedNeverLongerNamesOrLinks)
{
    TempTree tree;
    FakeTool dpkg("dpkg-query", "echo \"$@\" >> \"$LOG\"\n"
                                "for p; do case \"$p\" in *owned*) echo \"base-files: $p\";; esac; done\nexit 1\n");
    tree.file("home/.config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n");
    RelatedRoots roots = RelatedRoots::forHome(tree / "home");
    roots.etc = tree / "etc";
    roots.varCache = tree / "var/cache";
    roots.varLib = tree / "var/lib";
    roots.varLog = tree / "var/log";
    roots.tools.dpkgQuery = dpkg.path();

    const QString appPath = tree.file("home/.local/share/applications/foo.desktop", "");
    tree.file("home/.config/foo/settings", "1234");
    tree.file("home/.config/footer/x", "x");
    tree.file("home/.config/FooTool/x", "x");
    tree.file("home/.config/foo-beta/x", "x");
    tree.file("home/.config/org.ex.Foo.conf", "x");
    tree.file("home/.cache/Foo_cache/x", "x");
    tree.file("home/.cache/unrelated/x", "x");
    tree.file("home/.local/state/FOOBIN/x", "x");
    tree.file("outside/keep", "x");
    tree.link("home/.config/foo-link", tree / "outside");
    tree.link("home/.cache/foo", tree / "outside");  // named exactly, but a link
    tree.file("home/Fetched/foo-setup.tar", "x");
    tree.file("home/.config/autostart/foo.desktop", "x");
    tree.file("home/.var/app/org.ex.Foo/data", "x");
    tree.file("etc/foo.conf", "x");
    tree.file("etc/foo-owned.conf", "x");
    tree.file("var/log/foo.log", "x");

    const auto item = app("Foo", "org.ex.Foo", appPath);
    item->executable = "foobin";
    const AMAppGroup group = RelatedAppFilesScanner::relatedFilesToApplication(item, roots, {"Foo Beta", "foo-beta"});
    ASSERT_FALSE(group.isEmpty());
    EXPECT_EQ(group.first(), item);

    const QHash<QString, bool> expected{
        {"home/.config/foo", true},
        {"home/.config/foo-link", false},  // the link itself; its target is not listed
        {"home/.cache/foo", false},
        {"home/.config/footer", false},
        {"home/.config/FooTool", false},
        {"home/.config/foo-beta", false},  // another program's
        {"home/.config/org.ex.Foo.conf", false},
        {"home/.cache/Foo_cache", false},
        {"home/.local/state/FOOBIN", true},  // the executable's name
        {"home/.config/autostart/foo.desktop", false},
        {"home/Fetched/foo-setup.tar", false},
        {"home/.var/app/org.ex.Foo", true},
        {"etc/foo.conf", false},
        {"var/log/foo.log", false},
    };
    const auto listed = listing(group, tree);
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(listed.value(it.key(), !it.value()), it.value()) << it.key().toStdString();
    EXPECT_EQ(listed.size(), expected.size());
    EXPECT_EQ(group.size(), expected.size() + 1);  // no path twice
    for (const auto& r : group.mid(1))
        EXPECT_TRUE(r->bIsGetSize);
}

TEST(RelatedFiles, PatternsAndMatching)
{
    TempTree tree;
    RelatedRoots roots = RelatedRoots::forHome(tree / "home");
    tree.file("home/.config/anything", "x");
    // A name of spaces only, or no identifier: the item alone.
    EXPECT_EQ(RelatedAppFilesScanner::relatedFilesToApplication(app("   ", "   ", "/x"), roots).size(), 1);
    EXPECT_EQ(RelatedAppFilesScanner::relatedFilesToApplication(app("Anything", "", "/x"), roots).size(), 1);
    EXPECT_EQ(RelatedAppFilesScanner::relatedFilesToApplication(app("Anything", " ", "/x"), roots).size(), 1);

    EXPECT_TRUE(RelatedAppFilesScanner::matches("MyApp-data", "My App"));
    EXPECT_TRUE(RelatedAppFilesScanner::matches("my app settings", "My App"));
    EXPECT_TRUE(RelatedAppFilesScanner::matches("com.example.toolbox", "com.example.tool"));
    EXPECT_FALSE(RelatedAppFilesScanner::matches("other", ""));
    EXPECT_FALSE(RelatedAppFilesScanner::matches("x", " "));
    EXPECT_TRUE(RelatedAppFilesScanner::isOwnName("MYAPP", {"My App"}));
    EXPECT_TRUE(RelatedAppFilesScanner::isOwnName("my app", {"My App"}));
    EXPECT_FALSE(RelatedAppFilesScanner::isOwnName("MyApp-data", {"My App"}));
    EXPECT_FALSE(RelatedAppFilesScanner::isOwnName("", {" "}));

    // A program named like a folder the desktop shares does not get it ticked.
    tree.file("home/.local/share/fonts/MyFont.ttf", "x");
    tree.file("home/.local/share/fonts-extra/x", "x");
    const auto fonts = RelatedAppFilesScanner::relatedFilesToApplication(app("Fonts", "org.gnome.font-viewer", "/x"), roots);
    ASSERT_EQ(fonts.size(), 3);
    for (const auto& r : fonts.mid(1))
        EXPECT_FALSE(r->defaultTicked) << r->path.toStdString();

    // Without user-dirs.dirs, Downloads is the home's.
    EXPECT_EQ(roots.downloads, tree / "home/Downloads");
}

TEST(RelatedFiles, WhatAPackageOwnsOrTheSystemNeedsIsNeverOffered)
{
    TempTree tree;
    // dpkg answers once, for every candidate of every group.
    FakeTool dpkg("dpkg-query", "echo \"$@\" >> \"$LOG\"\n"
                                "for p; do case \"$p\" in */etc/passwd.d) echo \"tool: $p\";; esac; done\nexit 1\n");
    RelatedRoots roots = RelatedRoots::forHome(tree / "home");
    roots.etc = tree / "etc";
    roots.varCache = tree / "var/cache";
    roots.varLib = tree / "var/lib";
    roots.varLog = tree / "var/log";
    roots.tools.dpkgQuery = dpkg.path();
    for (const char* system : {"etc/passwd", "etc/passwd-", "etc/shadow", "etc/shadow-", "etc/group", "etc/group-",
                               "etc/gshadow", "etc/gshadow-", "var/lib/dpkg/status", "var/cache/apt/x"})
        tree.file(system, "root:x:0:0\n");
    tree.file("etc/passwd.d/x", "owned by a package");
    tree.file("etc/passwdqc.conf", "the user's own match, not the system's");
    const QString own = tree.file("home/.config/passwd/settings", "mine");
    // A user's launchers named after system files.
    const QList<AMAppGroup> groups = RelatedAppFilesScanner::relatedFilesToApplications(
        {app("passwd", "passwd", tree / "home/.local/share/applications/passwd.desktop"),
         app("shadow", "shadow", tree / "home/.local/share/applications/shadow.desktop"),
         app("group", "group", tree / "home/.local/share/applications/group.desktop"),
         app("gshadow", "gshadow", tree / "home/.local/share/applications/gshadow.desktop"),
         app("dpkg", "apt", tree / "home/.local/share/applications/dpkg.desktop")},
        roots);
    QStringList offered;
    for (const AMAppGroup& group : groups)
        for (qsizetype i = 1; i < group.size(); ++i)
            offered << group[i]->path.mid(tree.path().size() + 1);
    offered.sort();
    EXPECT_EQ(offered, QStringList({"etc/passwdqc.conf", "home/.config/passwd"})) << offered.join(' ').toStdString();
    EXPECT_EQ(dpkg.log().count("-S"), 1);
    (void)own;
}
