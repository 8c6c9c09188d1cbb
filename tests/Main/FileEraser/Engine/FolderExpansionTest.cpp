#include "Main/FileEraser/Engine/FolderExpansion.h"
#include "Main/FileEraser/Engine/SystemItems.h"
#include "Main/FileEraser/Engine/VolumeLogLine.h"
#include "TempTree.h"

#include <QFile>
#include <QSet>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

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

TEST(FolderExpansion, RunListExpandsEveryTickedFolderWhateverItsName)
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
    EXPECT_EQ(relative(run, tree.path()).join(' '),
              "dir/inner dir Thing.app/Contents/x Thing.app/Contents Thing.app lone");
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

TEST(FolderExpansion, ABindMountInsideTheFolderIsNotEntered)
{
    TempTree tree;
    tree.file("elsewhere/precious", "keep");
    tree.file("top/own", "x");
    const QString mountPoint = tree.folder("top/bound");
    if (::mount(QFile::encodeName(tree / "elsewhere").constData(), QFile::encodeName(mountPoint).constData(), nullptr,
                MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here (needs root): " << std::strerror(errno);
    FileObjList out;
    FolderExpansion::eumeAllArrWithFileObj(FolderExpansion::buildFileObj(tree / "top", true), out);
    ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
    // The mount point is listed as an entry of its own (the engine leaves it
    // alone); what the bind mount shows is not listed.
    EXPECT_EQ(relative(out, tree.path()).join(' ').split(' ').size(), 2);
    EXPECT_TRUE(relative(out, tree.path()).contains("top/bound"));
    EXPECT_FALSE(relative(out, tree.path()).contains("top/bound/precious"));
}

TEST(FolderExpansion, EntriesCarryTheExactBytesOfTheirNames)
{
    TempTree tree;
    const QByteArray folder = QFile::encodeName(tree.folder("twins"));
    for (const char* name : {"/x\xff", "/x\xef\xbf\xbd"}) {
        const int fd = ::open((folder + name).constData(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    FileObjList out;
    FolderExpansion::eumeAllArrWithFileObj(FolderExpansion::buildFileObj(QFile::decodeName(folder), true), out);
    ASSERT_EQ(out.size(), 2);
    QSet<QByteArray> paths{out[0]->pathBytes(), out[1]->pathBytes()};
    EXPECT_TRUE(paths.contains(folder + "/x\xff"));
    EXPECT_TRUE(paths.contains(folder + "/x\xef\xbf\xbd"));
    for (const QByteArray& p : paths)
        ::unlink(p.constData());  // the temporary folder's own clean-up cannot name them
}

TEST(SystemItems, TheRootKernelTreesDevicesAndSystemMountsAreRefused)
{
    for (const char* path : {"/", "//", "/.", "/proc", "/proc/self/status", "/sys/kernel", "/dev/null"})
        EXPECT_TRUE(SystemItems::isSystemItem(path)) << path;
    TempTree tree;
    EXPECT_FALSE(SystemItems::isSystemItem(tree.file("mine.txt")));
    EXPECT_FALSE(SystemItems::isSystemItem(tree.folder("mine")));
    EXPECT_FALSE(SystemItems::isSystemItem(tree.link("to-root", "/")));  // the link is the item

    // Another view of the root volume, mounted somewhere harmless-looking.
    const QString view = tree.folder("view");
    if (::mount("/", QFile::encodeName(view).constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here (needs root): " << std::strerror(errno);
    const bool refused = SystemItems::isSystemItem(view);
    ::umount2(QFile::encodeName(view).constData(), MNT_DETACH);
    EXPECT_TRUE(refused);
}

TEST(VolumeLogLine, ThePathIsLoggedAsGivenWithWhatTheVolumeIs)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a volume of its own";
    TempTree tree;
    const QString where = tree.folder("vol");
    ASSERT_EQ(::mount("tvtest", QFile::encodeName(where).constData(), "tmpfs", 0, "size=1m"), 0)
        << std::strerror(errno);
    // Place markers of the pattern in a name are part of the name.
    const QString file = tree.file("vol/a%3b%5c%7 %1.txt");
    EXPECT_EQ(volumeLogLine(file), QStringLiteral("Result:1 Volume: %1, Removable:0, W:1, Unmountable:1, "
                                                   "Desc:tmpfs, type:tmpfs")
                                       .arg(file));
    ASSERT_EQ(::mount(nullptr, QFile::encodeName(where).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_TRUE(volumeLogLine(file).contains(", W:0, Unmountable:1, ")) << volumeLogLine(file).toStdString();
    ::umount2(QFile::encodeName(where).constData(), MNT_DETACH);
    // What the system runs from cannot be unmounted.
    EXPECT_TRUE(volumeLogLine(QStringLiteral("/")).contains(", Unmountable:0, "));
}
