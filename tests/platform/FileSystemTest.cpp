#include "TempTree.h"
#include "platform/FolderSize.h"
#include "platform/RemoveTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

TEST(FolderSize, SumsFilesAndCountsLinksAsTheirOwnEntry)
{
    TempTree tree;
    tree.file("a/one", QByteArray(1000, 'x'));
    tree.file("a/b/two", QByteArray(234, 'x'));
    tree.folder("a/empty");
    const QString outside = tree.file("outside", QByteArray(50000, 'x'));
    tree.link("a/to-outside", outside);       // counted as the link itself
    tree.link("a/loop", tree / "a");           // a link to an ancestor must not loop

    const uint64_t linkSizes = QFileInfo(tree / "a/to-outside").symLinkTarget().toLocal8Bit().size() +
                               QFile::symLinkTarget(tree / "a/loop").toLocal8Bit().size();
    EXPECT_EQ(platform::folderSize(tree / "a"), 1234 + linkSizes);
    EXPECT_EQ(platform::folderSize(tree / "a/empty"), 0u);
    EXPECT_EQ(platform::folderSize(tree / "a/one"), 1000u);
    EXPECT_EQ(platform::folderSize(tree / "missing"), 0u);
}

TEST(FolderSize, DeepAndWideTreesDoNotExhaustStackOrDescriptors)
{
    TempTree tree;
    QString deep = tree.path();
    for (int i = 0; i < 300; ++i)
        deep += "/d";
    QDir().mkpath(deep);
    tree.file(deep.mid(tree.path().size() + 1) + "/leaf", "12345");
    // More sibling folders than a process may hold open at once.
    for (int i = 0; i < 1500; ++i)
        QDir().mkdir(tree / QString("w%1").arg(i));
    tree.file("w7/f", "123");
    EXPECT_EQ(platform::folderSize(tree.path()), 8u);
}

TEST(RemoveTree, RemovesContentsButNeverALinksTarget)
{
    TempTree tree;
    const QString keep = tree.file("keep/precious", "data");
    tree.file("doomed/a/b/c", "x");
    tree.link("doomed/a/to-keep", tree / "keep");
    tree.link("doomed/file-link", keep);
    EXPECT_TRUE(platform::removeTree(tree / "doomed"));
    EXPECT_FALSE(QFileInfo::exists(tree / "doomed"));
    EXPECT_EQ(TempTree::read(keep), QByteArray("data"));

    EXPECT_TRUE(platform::removeTree(tree / "never-was"));
    const QString link = tree.link("dangling", tree / "nowhere");
    EXPECT_TRUE(platform::removeTree(link));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

