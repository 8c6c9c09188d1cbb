#include "Main/FileEraser/Engine/FolderExpansion.h"
#include "TempTree.h"

#include <gtest/gtest.h>

namespace {

QStringList relative(const FileObjList& items, const QString& root)
{
    QStringList out;
    for (const auto& i : items)
        out << i->url.mid(root.size() + 1);
    return out;
}

}  // namespace

TEST(FolderExpansion, ContentsComeBeforeTheirFolderAndLinksAreNotFollowed)
{
    TempTree tree;
    tree.file("top/a/b/deep.txt", "x");
    tree.file("top/a/file.txt", "y");
    tree.folder("top/empty");
    tree.file("outside/precious", "keep");
    tree.link("top/to-outside", tree / "outside");
    tree.link("top/loop", tree / "top");

    auto top = FolderExpansion::buildFileObj(tree / "top", true);
    FileObjList out;
    FolderExpansion::eumeAllArrWithFileObj(top, out);
    const QStringList paths = relative(out, tree.path());

    ASSERT_EQ(paths.size(), 7);
    for (const QString& p : paths)
        EXPECT_FALSE(p.startsWith("outside")) << p.toStdString();
    auto index = [&](const char* p) { return paths.indexOf(p); };
    EXPECT_LT(index("top/a/b/deep.txt"), index("top/a/b"));
    EXPECT_LT(index("top/a/b"), index("top/a"));
    EXPECT_LT(index("top/a/file.txt"), index("top/a"));
    EXPECT_GE(index("top/to-outside"), 0);
    EXPECT_GE(index("top/loop"), 0);
    for (const auto& i : out) {
        EXPECT_TRUE(i->isDir);
        EXPECT_TRUE(i->isSelect);
    }
    EXPECT_TRUE(out.at(index("top/loop"))->isSymbolicLink);
}

TEST(FolderExpansion, RunListExpandsTickedFoldersButNotBundles)
{
    TempTree tree;
    tree.file("dir/inner", "x");
    tree.file("Thing.app/Contents/x", "y");
    const QString lone = tree.file("lone", "z");
    auto dir = FolderExpansion::buildFileObj(tree / "dir", true);
    auto app = FolderExpansion::buildFileObj(tree / "Thing.app", true);
    auto file = FolderExpansion::buildFileObj(lone, false);
    auto unticked = FolderExpansion::buildFileObj(tree / "dir", true);
    unticked->isSelect = false;
    EXPECT_EQ(file->type, "");
    EXPECT_EQ(dir->type, "Folder");

    const FileObjList run = FolderExpansion::buildRunList({dir, app, file, unticked});
    EXPECT_EQ(relative(run, tree.path()), QStringList({"dir/inner", "dir", "Thing.app", "lone"}));
}

TEST(FolderExpansion, VeryDeepTreesAreExpandedWithoutRecursion)
{
    TempTree tree;
    QString rel = "deep";
    for (int i = 0; i < 400; ++i)
        rel += "/d";
    tree.file(rel + "/leaf", "x");
    FileObjList out;
    FolderExpansion::eumeAllArrWithFileObj(FolderExpansion::buildFileObj(tree / "deep", true), out);
    ASSERT_EQ(out.size(), 401);
    EXPECT_TRUE(out.first()->url.endsWith("/leaf"));
}
