#include "Main/FileEraser/FileEraserList.h"
#include "Main/FileEraser/FileEraserTableModel.h"
#include "Main/FileEraser/FileEraserViewController.h"
#include "LoopVolume.h"
#include "Main/FileEraser/FileEraserOpenPanel.h"
#include "TempTree.h"

#include <QFileSystemModel>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

QStringList urls(const FileObjList& items)
{
    QStringList out;
    for (const FileObjPtr& i : items)
        out << i->url;
    return out;
}

}  // namespace

TEST(FileEraserList, AddingKeepsOneRowPerPathAndStopsAtSystemPaths)
{
    TempTree tree;
    const QString a = tree.file("a.txt");
    const QString b = tree.file("b.txt");
    FileEraserList list;
    list.addPaths({a});
    list.addPaths({a, a + "/"});
    EXPECT_EQ(urls(list.valueArr), QStringList{a});

    FileEraserList stopped;
    const auto outcome = stopped.addPaths({a, "/", b});
    EXPECT_EQ(urls(stopped.valueArr), QStringList{a});
    EXPECT_EQ(outcome.systemPath, "/");

    // Kernel trees and device nodes are refused the same way.
    for (const QString& system : {QStringLiteral("/proc/self/status"), QStringLiteral("/dev/null")}) {
        FileEraserList l;
        const auto o = l.addPaths({system, a});
        EXPECT_TRUE(l.valueArr.isEmpty()) << system.toStdString();
        EXPECT_EQ(o.systemPath, system);
    }
}

TEST(FileEraserList, ItemsDescribeWhatTheyAre)
{
    TempTree tree;
    const QString folder = tree.folder("Dir");
    tree.file("Dir/inside", "12345");
    const QString photo = tree.file("Photo.JPG", "abc");
    const QString link = tree.link("toDir", folder);
    FileEraserList list;
    list.addPaths({folder, photo, link});
    ASSERT_EQ(list.valueArr.size(), 3);

    const FileObj& dir = *list.valueArr[0];
    EXPECT_TRUE(dir.isDir);
    EXPECT_EQ(dir.type, "Folder");
    EXPECT_EQ(dir.size, 0);
    EXPECT_EQ(FileEraserTableModel::sizeText(dir), "--");
    EXPECT_TRUE(dir.isSelect);

    EXPECT_EQ(list.valueArr[1]->type, "JPG");
    EXPECT_EQ(list.valueArr[1]->size, 3);
    EXPECT_EQ(FileEraserTableModel::sizeText(*list.valueArr[1]), "3 byte");

    // A link to a folder is an item of its own, never expanded.
    EXPECT_FALSE(list.valueArr[2]->isDir);
    EXPECT_TRUE(list.valueArr[2]->isSymbolicLink);
}

TEST(FileEraserList, TickStatesAndTheirTexts)
{
    TempTree tree;
    FileEraserList list;
    EXPECT_EQ(list.selectCountText().text, "Total: 0 Item");
    list.addPaths({tree.file("a")});
    list.flipSelect(0);
    EXPECT_EQ(list.returnSelectAllState(), 0);
    EXPECT_EQ(list.selectCountText().text, "Total: 1 Item");
    EXPECT_EQ(list.selectCountText().boldStart, -1);

    list.addPaths({tree.file("b"), tree.file("c")});
    EXPECT_EQ(list.returnSelectAllState(), 1);
    const auto text = list.selectCountText();
    EXPECT_EQ(text.text, "Selected: 2/3 Items");
    EXPECT_EQ(text.text.mid(text.boldStart, text.boldLength), "2");

    list.setAllSelectOrNoSelect();
    EXPECT_EQ(list.returnSelectAllState(), 2);
    list.setAllSelectOrNoSelect();
    EXPECT_EQ(list.returnSelectAllState(), 0);
    EXPECT_EQ(list.selectCountText().text, "Total: 3 Items");
}

TEST(FileEraserList, SortingByKeyAndDirectionKeepsItemsAddedMeanwhile)
{
    TempTree tree;
    FileEraserList list;
    list.addPaths({tree.file("b", "12"), tree.file("a", "1234"), tree.file("C", "1")});
    auto names = [](const FileObjList& l) {
        QStringList n;
        for (const auto& i : l)
            n << i->name;
        return n;
    };
    EXPECT_EQ(names(FileEraserList::sortedList(list.valueArr, 0, 0)), (QStringList{"C", "a", "b"}));
    EXPECT_EQ(names(FileEraserList::sortedList(list.valueArr, 0, 1)), (QStringList{"b", "a", "C"}));
    EXPECT_EQ(names(FileEraserList::sortedList(list.valueArr, 2, 0)), (QStringList{"C", "b", "a"}));

    const FileObjList sorted = FileEraserList::sortedList(list.valueArr, 1, 1);
    list.addPaths({tree.file("late")});
    list.valueArr.removeAt(0);  // "b" left the list while the sort ran
    list.applySorted(sorted);
    EXPECT_EQ(names(list.valueArr), (QStringList{"a", "C", "late"}));
}

TEST(FileEraserList, EndJudgementByWhetherThePathStillExists)
{
    TempTree tree;
    FileEraserList list;
    const QString gone = tree.file("gone");
    const QString unreached = tree.file("unreached");
    list.addPaths({gone, tree.file("kept"), tree.file("unticked"), unreached});
    list.flipSelect(2);
    QFile::remove(gone);
    // Not at its path, but the engine failed it: it may live on elsewhere.
    list.valueArr[3]->failStr = "Fail";
    QFile::remove(unreached);
    const FileObjList judged = list.takeJudgedItems();
    ASSERT_EQ(judged.size(), 3);
    EXPECT_EQ(judged[0]->failStr, "Erased");
    EXPECT_EQ(judged[1]->failStr, "Failed");
    EXPECT_EQ(judged[2]->failStr, "Failed");
    ASSERT_EQ(list.valueArr.size(), 1);
    EXPECT_EQ(list.valueArr[0]->name, "unticked");
}

TEST(FileEraserList, RootHomeRedirect)
{
    const QString user = "/home/alice";
    EXPECT_EQ(redirectRootHomePath("/root/Documents/Work", "/root", user), "/home/alice/Documents/Work");
    EXPECT_EQ(redirectRootHomePath("/root/Desktop", "/root", user), "/home/alice/Desktop");
    // Only the leading prefix goes.
    EXPECT_EQ(redirectRootHomePath("/root/Downloads/root/x", "/root", user), "/home/alice/Downloads/root/x");
    // Elsewhere in root's home: the user's usual start folder.
    EXPECT_EQ(redirectRootHomePath("/root/.config", "/root", user), "/home/alice/Desktop");
    EXPECT_EQ(redirectRootHomePath("/root", "/root", user), "/home/alice/Desktop");
    EXPECT_TRUE(redirectRootHomePath("/rootfs/Documents", "/root", user).isEmpty());
    EXPECT_TRUE(redirectRootHomePath("/home/alice/Documents", "/root", user).isEmpty());
}

TEST(FileEraserList, SizeTextsAndClock)
{
    EXPECT_EQ(FileEraserList::byteToSizeWithByte(999), "999 byte");
    EXPECT_EQ(FileEraserList::byteToSizeWithByte(1000), "1.00 KB");
    EXPECT_EQ(FileEraserList::byteToSizeWithByte(999999), "1000.00 KB");
    EXPECT_EQ(FileEraserViewController::clockText(1), "0:00:01");
    EXPECT_EQ(FileEraserViewController::clockText(75), "0:01:15");
    EXPECT_EQ(FileEraserViewController::clockText(3661), "1:01:01");
    EXPECT_EQ(FileEraserViewController::clockText(360000), "100:00:00");
}

TEST(FileEraserList, NtfsPathsAreNotAdded)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume volume("ntfs");
    if (!volume.ok())
        GTEST_SKIP() << "no NTFS volume: " << volume.error().toStdString();
    ASSERT_TRUE(volume.mount());
    TempTree tree;
    const QString local = tree.file("local.txt");
    QFile f(volume.mountPoint() + "/on-ntfs.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    FileEraserList list;
    auto outcome = list.addPaths({f.fileName(), local});  // an NTFS first path adds nothing
    EXPECT_TRUE(list.valueArr.isEmpty());
    EXPECT_EQ(outcome.ntfsPaths, QStringList{f.fileName()});

    outcome = list.addPaths({local, f.fileName()});  // later ones are skipped alone
    EXPECT_EQ(urls(list.valueArr), QStringList{local});
    EXPECT_EQ(outcome.ntfsPaths, QStringList{f.fileName()});
}

TEST(FileEraserOpenPanel, ChoosesFilesAndFoldersTogetherWithoutHiddenOnes)
{
    TempTree tree;
    tree.file("file.txt");
    tree.folder("Folder");
    tree.file(".hidden");
    FileEraserOpenPanel panel;
    QSignalSpy changed(&panel, &FileEraserOpenPanel::didChangeToDirectory);
    panel.setDirectory(tree.path());
    EXPECT_EQ(changed.size(), 1);
    QFileSystemModel* model = qobject_cast<QFileSystemModel*>(panel.view()->model());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(panel.view()->rootIndex()) == 2; }, 5000));
    panel.selectNames({"file.txt", "Folder", ".hidden"});
    QStringList chosen = panel.selectedPaths();
    chosen.sort();
    EXPECT_EQ(chosen, (QStringList{tree / "Folder", tree / "file.txt"}));
}
