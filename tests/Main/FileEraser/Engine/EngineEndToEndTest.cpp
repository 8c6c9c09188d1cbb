// The engine with the real srm, as root: what a user could plant between the
// listing and the erasing, and what the disk keeps afterwards.
#include "LoopVolume.h"
#include "Main/FileEraser/Engine/FolderExpansion.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "Main/FileEraser/Engine/RemoveFileAndFolder.h"
#include "TempTree.h"
#include "platform/InvokingUser.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QDir>
#include <QUuid>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

const QString kSrm = QStringLiteral(TV_STAGE_DIR) + "/libexec/tarnwick-vantoly/srm";

struct Waiter : RemoveFileAndFolderDelegate
{
    bool ended = false;
    int fails = 0;
    void haveFailEraser() override { ++fails; }
    void removeObjEnd(const FileObjList&) override { ended = true; }
    bool run(RemoveFileAndFolder& engine, const FileObjList& items)
    {
        engine.setDelegate(this);
        engine.benginToTraskWithArr(items);
        QElapsedTimer t;
        t.start();
        while (!ended && t.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return ended;
    }
};

FileObjPtr findItem(const FileObjList& run, const QString& path)
{
    for (const FileObjPtr& i : run)
        if (i->url == path)
            return i;
    return nullptr;
}

}  // namespace

TEST(EngineEndToEnd, ASubfolderSwappedForALinkAfterTheListingLeadsNowhere)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: the tree must belong to another user";
    const auto nobody = platform::userNamed("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user 'nobody' to own the tree";
    TempTree tree;
    // Root's own: only root can read it.
    const QString secret = tree.file("secret/passwords", "root only");
    ::chmod(QFile::encodeName(tree / "secret").constData(), 0700);
    // The user's folder, chosen for erasing.
    const QString top = tree.folder("top");
    tree.file("top/sub/notes", "the user's notes");
    for (const QString& p : {top, tree / "top/sub", tree / "top/sub/notes"})
        ASSERT_EQ(::lchown(QFile::encodeName(p).constData(), nobody->uid, nobody->gid), 0);

    platform::setUserDefaultInteger(kEraserTimesKey, 1);
    const FileObjList run = FolderExpansion::buildRunList({FolderExpansion::buildFileObj(top, true)});
    // Between the listing and the erasing the user swaps the subfolder for a
    // link to root's folder, as that user could.
    ASSERT_EQ(::rename(QFile::encodeName(tree / "top/sub").constData(), QFile::encodeName(tree / "top/old").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(tree / "secret").constData(), QFile::encodeName(tree / "top/sub").constData()), 0);
    ASSERT_EQ(::lchown(QFile::encodeName(tree / "top/sub").constData(), nobody->uid, nobody->gid), 0);

    Waiter waiter;
    RemoveFileAndFolder engine(kSrm);
    ASSERT_TRUE(waiter.run(engine, run));
    EXPECT_EQ(TempTree::read(secret), "root only");
    const FileObjPtr notes = findItem(run, tree / "top/sub/notes");
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->failStr, Outcome::fail);
    EXPECT_GE(waiter.fails, 1);
}

TEST(EngineEndToEnd, AnImmutableFileIsFreedAndShreddedToTheLastByte)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume volume("ext4", 32);
    ASSERT_TRUE(volume.ok()) << volume.error().toStdString();
    ASSERT_TRUE(volume.mount()) << volume.error().toStdString();
    const QByteArray marker = "TV-ENGINE-IMMUTABLE-" + QUuid::createUuid().toByteArray(QUuid::Id128) + "|";
    const QString lone = volume.mountPoint() + "/lone.bin";
    const QString inFolder = volume.mountPoint() + "/folder/inner.bin";
    QDir().mkpath(volume.mountPoint() + "/folder");
    for (const QString& path : {lone, inFolder}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(marker.repeated((256 << 10) / marker.size()));
        f.flush();
        ::fsync(f.handle());
    }
    for (const QString& path : {lone, inFolder})
        ASSERT_EQ(QProcess::execute("chattr", {"+i", path}), 0);
    ::sync();

    platform::setUserDefaultInteger(kEraserTimesKey, 1);
    FileObjList items{FolderExpansion::buildFileObj(lone, false),
                      FolderExpansion::buildFileObj(volume.mountPoint() + "/folder", true)};
    const FileObjList run = FolderExpansion::buildRunList(items);
    Waiter waiter;
    RemoveFileAndFolder engine(kSrm);
    const bool ended = waiter.run(engine, run);
    const bool loneGone = !QFileInfo::exists(lone);
    const bool innerGone = !QFileInfo::exists(inFolder);
    for (const QString& path : {lone, inFolder})
        if (QFileInfo::exists(path))
            QProcess::execute("chattr", {"-i", path});  // so the volume can be let go of
    ASSERT_TRUE(ended);
    EXPECT_TRUE(loneGone);
    EXPECT_TRUE(innerGone);
    EXPECT_EQ(waiter.fails, 0);
    for (const FileObjPtr& i : run)
        EXPECT_EQ(i->failStr, Outcome::success) << i->url.toStdString();
    ASSERT_TRUE(volume.unmount());
    QFile image(volume.image());
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    EXPECT_FALSE(image.readAll().contains(marker)) << "the old contents are still on the device";
}

TEST(EngineEndToEnd, ABindMountInsideAChosenFolderIsLeftWithEverythingBehindIt)
{
    TempTree tree;
    const QString precious = tree.file("elsewhere/precious", "keep me");
    tree.file("top/own", "mine");
    const QString bound = tree.folder("top/bound");
    if (::mount(QFile::encodeName(tree / "elsewhere").constData(), QFile::encodeName(bound).constData(), nullptr, MS_BIND,
                nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here (needs root): " << std::strerror(errno);
    platform::setUserDefaultInteger(kEraserTimesKey, 1);
    const FileObjList run = FolderExpansion::buildRunList({FolderExpansion::buildFileObj(tree / "top", true)});
    Waiter waiter;
    RemoveFileAndFolder engine(kSrm);
    const bool ended = waiter.run(engine, run);
    ::umount2(QFile::encodeName(bound).constData(), MNT_DETACH);
    ASSERT_TRUE(ended);
    EXPECT_EQ(TempTree::read(precious), "keep me");
    EXPECT_FALSE(QFileInfo::exists(tree / "top/own"));
    const FileObjPtr mountPoint = findItem(run, bound);
    ASSERT_TRUE(mountPoint);
    EXPECT_EQ(mountPoint->failStr, Outcome::fail);
    EXPECT_EQ(findItem(run, tree / "top")->failStr, Outcome::fail);  // still holds the mount point
}

TEST(EngineEndToEnd, TwinNamesReachSrmByTheirOwnBytes)
{
    TempTree tree;
    const QByteArray folder = QFile::encodeName(tree.folder("twins"));
    const QByteArray raw = folder + "/x\xff";
    const QByteArray replaced = folder + "/x\xef\xbf\xbd";
    for (const QByteArray& p : {raw, replaced}) {
        const int fd = ::open(p.constData(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "secret", 6), 6);
        ::close(fd);
    }
    platform::setUserDefaultInteger(kEraserTimesKey, 1);
    const FileObjList run = FolderExpansion::buildRunList({FolderExpansion::buildFileObj(QFile::decodeName(folder), true)});
    Waiter waiter;
    RemoveFileAndFolder engine(kSrm);
    ASSERT_TRUE(waiter.run(engine, run));
    struct stat st{};
    EXPECT_NE(::lstat(raw.constData(), &st), 0);
    EXPECT_NE(::lstat(replaced.constData(), &st), 0);
    EXPECT_EQ(waiter.fails, 0);
    for (const FileObjPtr& i : run)
        EXPECT_EQ(i->failStr, Outcome::success);
    for (const QByteArray& p : {raw, replaced})
        ::unlink(p.constData());
}

TEST(EngineEndToEnd, AnEmptyFileChosenAloneIsNotReachedThroughASwappedFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: the folder must belong to another user";
    const auto nobody = platform::userNamed("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user 'nobody' to own the folder";
    TempTree tree;
    const QString rootsFlag = tree.file("secret/flag", "");  // empty, root's own
    ::chmod(QFile::encodeName(tree / "secret").constData(), 0700);
    const QString chosen = tree.file("top/sub/flag", "");
    for (const QString& p : {tree / "top", tree / "top/sub", chosen})
        ASSERT_EQ(::lchown(QFile::encodeName(p).constData(), nobody->uid, nobody->gid), 0);
    auto item = FolderExpansion::buildFileObj(chosen, false);
    ASSERT_EQ(::rename(QFile::encodeName(tree / "top/sub").constData(), QFile::encodeName(tree / "top/old").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(tree / "secret").constData(), QFile::encodeName(tree / "top/sub").constData()), 0);
    ASSERT_EQ(::lchown(QFile::encodeName(tree / "top/sub").constData(), nobody->uid, nobody->gid), 0);

    Waiter waiter;
    RemoveFileAndFolder engine(kSrm);
    ASSERT_TRUE(waiter.run(engine, {item}));
    EXPECT_TRUE(QFileInfo::exists(rootsFlag));
    EXPECT_EQ(item->failStr, Outcome::fail);
}
