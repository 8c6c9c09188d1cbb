#include "platform/DesktopEntries.h"

#include "TempTree.h"

#include <gtest/gtest.h>

namespace {

QByteArray entry(const QByteArray& name, const QByteArray& extra = {})
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + name.toLower() + " %U\n" + extra;
}

QStringList ids(const QList<platform::DesktopEntry>& entries)
{
    QStringList out;
    for (const auto& e : entries)
        out << e.id;
    return out;
}

}  // namespace

TEST(DesktopEntries, UserEntryWinsAndHiddenOnesAreLeftOut)
{
    TempTree tree;
    const QString user = tree.folder("home/.local/share/applications");
    const QString system = tree.folder("usr/share/applications");
    tree.file("usr/share/applications/editor.desktop", entry("System Editor", "Icon=editor\n"));
    tree.file("home/.local/share/applications/editor.desktop", entry("My Editor", "Icon=/opt/ed/icon.png\n"));
    // The user's Hidden entry removes the system's application of that ID.
    tree.file("usr/share/applications/gone.desktop", entry("Gone"));
    tree.file("home/.local/share/applications/gone.desktop", "[Desktop Entry]\nType=Application\nHidden=true\n");
    tree.file("usr/share/applications/helper.desktop", entry("Helper", "NoDisplay=true\n"));
    tree.file("usr/share/applications/link.desktop", "[Desktop Entry]\nType=Link\nName=Web\nURL=http://x\n");
    tree.file("usr/share/applications/notinstalled.desktop", entry("Ghost", "TryExec=/nonexistent/ghost\n"));
    tree.file("usr/share/applications/readme.txt", entry("NotAnEntry"));
    tree.file("usr/share/applications/kde/konsole.desktop", entry("Konsole"));
    // An action group's keys do not overwrite the application's.
    tree.file("usr/share/applications/actions.desktop",
              entry("Browser", "TryExec=sh\n[Desktop Action new]\nName=New Window\nExec=browser --new\n"));

    const auto entries = platform::scanDesktopEntries({user, system});
    EXPECT_EQ(ids(entries), QStringList({"actions.desktop", "editor.desktop", "kde-konsole.desktop"}));
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].name, "Browser");
    EXPECT_EQ(entries[0].exec, "browser %U");
    EXPECT_EQ(entries[1].name, "My Editor");
    EXPECT_EQ(entries[1].icon, "/opt/ed/icon.png");
    EXPECT_EQ(entries[1].file, tree / "home/.local/share/applications/editor.desktop");
    EXPECT_EQ(entries[1].root, user);
    EXPECT_EQ(entries[2].baseId(), "kde-konsole");
}

TEST(DesktopEntries, LinkLoopsEndAndMissingRootsGiveNothing)
{
    TempTree tree;
    const QString root = tree.folder("apps");
    tree.file("apps/sub/one.desktop", entry("One"));
    tree.link("apps/sub/loop", tree / "apps");
    tree.link("apps/self", ".");
    const auto entries = platform::scanDesktopEntries({root, tree / "missing"});
    // The loop is entered once at most: the entry is not listed again under
    // a longer ID through the link.
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].id, "sub-one.desktop");
}

TEST(DesktopEntries, ValuesAreUnescapedAndExecProgramIsFound)
{
    TempTree tree;
    const QString f = tree.file("a.desktop",
                                "# comment\n[Desktop Entry]\nType=Application\nName=Tab\\sName\nName[de]=Anders\n"
                                "Exec=env GDK_BACKEND=x11 \"/opt/My App/bin/app\" --flag %F\nX-Flatpak=org.ex.App\n");
    const auto e = platform::readDesktopEntry(f);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "Tab Name");
    EXPECT_EQ(e->flatpakId, "org.ex.App");
    EXPECT_EQ(e->execProgram(), "app");
    EXPECT_FALSE(platform::readDesktopEntry(tree.file("b.desktop", "Name=No group\n")));

    const QStringList roots = platform::applicationRootsFor("/home/someone");
    EXPECT_EQ(roots.first(), "/home/someone/.local/share/applications");
    EXPECT_EQ(roots.last(), "/usr/share/applications");
}
