#include "LoopVolume.h"
#include "SrmRun.h"
#include "TempTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Sets or clears inode flags such as immutable; false where the file system has none.
bool setFlag(const QString& path, int flag, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? flags | flag : flags & ~flag;
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

}  // namespace

TEST(SrmSafety, ProtectedFilesNeedForce)
{
    SKIP_UNLESS_ROOT();
    TempTree tree;
    const QString immutable = tree.file("immutable", "locked");
    const QString appendOnly = tree.file("box/append-only", "log");
    if (!setFlag(immutable, FS_IMMUTABLE_FL, true) || !setFlag(appendOnly, FS_APPEND_FL, true))
        GTEST_SKIP() << "no inode flags on " << tree.path().toStdString();

    SrmRun r = runSrm({"-sz", immutable});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(TempTree::read(immutable), "locked");
    r = runSrm({"-rsz", tree / "box"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(TempTree::read(appendOnly), "log");

    r = runSrm({"-fsz", immutable});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(immutable));
    r = runSrm({"-fsrz", tree / "box"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(tree / "box"));

    // An immutable folder in a tree is cleared too.
    const QString lockedFolder = tree.folder("tree/locked");
    tree.file("tree/locked/f", "f");
    ASSERT_TRUE(setFlag(lockedFolder, FS_IMMUTABLE_FL, true));
    r = runSrm({"-fsrz", tree / "tree"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    if (QFileInfo::exists(lockedFolder))
        setFlag(lockedFolder, FS_IMMUTABLE_FL, false);
}

TEST(SrmSafety, RefusesRootDotsAndPseudoFileSystems)
{
    for (const QString& path : {QStringLiteral("/"), QStringLiteral("//"), QStringLiteral("."),
                                QStringLiteral(".."), QStringLiteral("/tmp/..")}) {
        const SrmRun r = runSrm({"-fsrz", path});
        EXPECT_EQ(r.code, 1) << path.toStdString();
        EXPECT_TRUE(r.err.contains("refusing")) << path.toStdString();
    }

    // Writing here would write to the kernel: the test process's own name.
    const QString comm = QStringLiteral("/proc/%1/comm").arg(::getpid());
    const QByteArray before = TempTree::read(comm);
    SrmRun r = runSrm({"-fsrz", comm});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("proc")) << r.err.toStdString();
    EXPECT_EQ(TempTree::read(comm), before);
}

TEST(SrmSafety, DeviceFolderIsNotTouched)
{
    SKIP_UNLESS_ROOT();
    // /dev is devtmpfs, which passes for tmpfs by its magic number.
    const QString node = QStringLiteral("/dev/tv-srm-test-%1").arg(::getpid());
    const QByteArray name = QFile::encodeName(node);
    if (::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot make a node in /dev";
    struct stat st;
    const SrmRun r = runSrm({"-fsrz", node});
    const bool stillThere = ::lstat(name.constData(), &st) == 0;
    ::unlink(name.constData());
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("devtmpfs")) << r.err.toStdString();
    EXPECT_TRUE(stillThere);
}

TEST(SrmSafety, RecursionStaysOnOneMount)
{
    SKIP_UNLESS_ROOT();
    TempTree tree;
    tree.file("top/before", "b");
    const QString mountPoint = tree.folder("top/mnt");
    tree.file("top/z-after/file", "a");
    ScopedMount tmpfs("tv-srm-test", mountPoint, "tmpfs", 0);
    ASSERT_TRUE(tmpfs.mounted);
    const QString survivor = tree.file("top/mnt/survivor", "must stay");

    // A bind mount of the same file system has the same device number.
    const QString source = tree.file("elsewhere/bound", "bound data");
    tree.folder("top/bind");
    ScopedMount bind(tree / "elsewhere", tree / "top/bind", nullptr, MS_BIND);
    ASSERT_TRUE(bind.mounted);

    SrmRun r = runSrm({"-fsrz", tree / "top"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("mnt")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("bind")) << r.err.toStdString();
    EXPECT_EQ(TempTree::read(survivor), "must stay");
    EXPECT_EQ(TempTree::read(source), "bound data");
    // Everything else is gone; the folders leading to the mounts stay.
    EXPECT_FALSE(QFileInfo::exists(tree / "top/before"));
    EXPECT_FALSE(QFileInfo::exists(tree / "top/z-after"));
    EXPECT_TRUE(QFileInfo::exists(tree / "top"));

    // A mount point named outright is refused before anything inside is touched.
    r = runSrm({"-fsrz", mountPoint});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(TempTree::read(survivor), "must stay");
}
