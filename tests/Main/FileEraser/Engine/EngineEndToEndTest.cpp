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
#include <QScopeGuard>
#include <QUuid>

#include <atomic>
#include <thread>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
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

namespace {

// Sets or clears the immutable flag; false where the file system has none.
bool setImmutable(const QString& path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

bool isImmutable(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    int flags = 0;
    const bool locked = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL);
    if (fd >= 0)
        ::close(fd);
    return locked;
}

}  // namespace

TEST(EngineEndToEnd, AFolderSwappedToAndFroDuringTheRunUnlocksAndOpensNoneOfRootsFiles)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: immutable flags and a tmpfs of its own";
    // tmpfs: renames are quick enough that the swap lands between any two
    // steps of the run, and it keeps immutable flags.
    TempTree tree;
    const QString top = tree.folder("volume");
    if (::mount("tmpfs", QFile::encodeName(top).constData(), "tmpfs", 0, "size=16m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(top).constData(), MNT_DETACH); });
    // Root's folder of immutable files, and the user's folder with the same
    // names, immutable too, chosen for erasing.
    constexpr int kFiles = 1500;
    ASSERT_TRUE(QDir().mkpath(top + "/secret") && QDir().mkpath(top + "/chosen"));
    ::chmod(QFile::encodeName(top + "/secret").constData(), 0700);
    QStringList secrets, chosen;
    FileObjList items;
    for (int i = 0; i < kFiles; ++i) {
        const QString name = QString("f%1").arg(i, 4, 10, QChar('0'));
        for (const QString& folder : {QStringLiteral("secret"), QStringLiteral("chosen")}) {
            QFile f(top + '/' + folder + '/' + name);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(folder == "secret" ? "root's own" : "the user's");
        }
        secrets << top + "/secret/" + name;
        chosen << top + "/chosen/" + name;
        items << FolderExpansion::buildFileObj(chosen.last(), false);
    }
    for (const QString& path : secrets + chosen)
        if (!setImmutable(path, true))
            GTEST_SKIP() << "no immutable flag on this tmpfs";
    const auto unlock = qScopeGuard([&] {
        for (const QString& path : secrets + chosen)
            setImmutable(path, false);
    });
    ASSERT_EQ(::symlink(QFile::encodeName(top + "/secret").constData(), QFile::encodeName(top + "/swap").constData()), 0);
    // Every open of root's files is seen, and which ones were for writing.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(top + "/secret").constData(), IN_OPEN | IN_CLOSE_WRITE | IN_MODIFY), 0);

    // The folder's owner exchanges it with a link to root's folder, over and over.
    std::atomic<bool> stop{false};
    const QByteArray chosenPath = QFile::encodeName(top + "/chosen");
    const QByteArray swapPath = QFile::encodeName(top + "/swap");
    std::thread swapper([&] {
        while (!stop.load())
            ::renameat2(AT_FDCWD, chosenPath.constData(), AT_FDCWD, swapPath.constData(), RENAME_EXCHANGE);
    });
    platform::setUserDefaultInteger(kEraserTimesKey, 1);
    Waiter waiter;
    RemoveFileAndFolder engine(kSrm);
    const bool ended = waiter.run(engine, items);
    stop = true;
    swapper.join();

    int opened = 0, written = 0;
    char buffer[64 * 1024];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            if (event->len > 0) {  // a file inside, not the folder itself
                opened += (event->mask & IN_OPEN) != 0;
                written += (event->mask & (IN_CLOSE_WRITE | IN_MODIFY)) != 0;
            }
            p += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    ASSERT_TRUE(ended);
    EXPECT_EQ(opened, 0) << "root's files were opened through the swapped folder";
    EXPECT_EQ(written, 0) << "root's files were opened for writing";
    int unlocked = 0;
    for (const QString& path : secrets) {
        unlocked += !isImmutable(path);
        EXPECT_EQ(TempTree::read(path), "root's own");
    }
    EXPECT_EQ(unlocked, 0) << "immutable flags of root's files were cleared";
}
