#include "LoopVolume.h"
#include "SrmRun.h"
#include "TempTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <grp.h>
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

// Gives `path` itself (a link is not followed) to `uid`.
void giveTo(const QString& path, uid_t uid)
{
    ASSERT_EQ(::lchown(QFile::encodeName(path).constData(), uid, gid_t(-1)), 0) << path.toStdString();
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

TEST(SrmSafety, LinksAlongThePathMustBeTrusted)
{
    SKIP_UNLESS_ROOT();
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody || nobody->pw_uid == 0)
        GTEST_SKIP() << "no unprivileged user 'nobody'";
    const uid_t other = nobody->pw_uid;
    TempTree tree;
    const QString precious = tree.file("etc/precious", "precious");

    // A folder another user may write into: their link, and even root's, could be
    // a swap made after the listing.
    const QString shared = tree.folder("shared");
    giveTo(shared, other);
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0775), 0);
    giveTo(tree.link("shared/planted", tree / "etc"), other);
    tree.link("shared/roots", tree / "etc");
    // A trusted link whose target runs through the planted one.
    tree.link("hop", tree / "shared/planted");
    for (const QString& via : {QStringLiteral("shared/planted"), QStringLiteral("shared/roots"),
                               QStringLiteral("hop")}) {
        const SrmRun r = runSrm({"-fsz", tree / via + "/precious"});
        EXPECT_EQ(r.code, 1) << via.toStdString();
        EXPECT_TRUE(r.err.contains("symbolic link")) << r.err.toStdString();
        EXPECT_EQ(TempTree::read(precious), "precious");
    }

    // A user's own link in their own folder: the user may point it anywhere,
    // and root must not follow it into a file the user could never touch.
    const QString home = tree.folder("home");
    giveTo(home, other);
    giveTo(tree.folder("home/pub"), other);
    giveTo(tree.link("home/pub/sub", tree / "etc"), other);
    SrmRun r = runSrm({"-fsvz", "-M", "--", tree / "home/pub/sub/precious"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.startsWith("F\t" + QFile::encodeName(tree / "home/pub/sub/precious") + "\trefusing to follow"))
        << r.out.toStdString();
    EXPECT_EQ(TempTree::read(precious), "precious");
    // Root's link, but in a folder a user owns: the user could have swapped it in.
    ASSERT_EQ(::unlink(QFile::encodeName(tree / "home/pub/sub").constData()), 0);
    tree.link("home/pub/sub", tree / "etc");
    r = runSrm({"-fsz", tree / "home/pub/sub/precious"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(TempTree::read(precious), "precious");

    // Root's link in root's folder, with a relative target.
    const QString system = tree.folder("system");
    ASSERT_EQ(::chmod(QFile::encodeName(system).constData(), 0755), 0);
    ASSERT_EQ(::symlink("../etc", QFile::encodeName(system + "/data").constData()), 0);
    r = runSrm({"-fsz", system + "/data/precious"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(precious));
}

TEST(SrmSafety, FileWhoseNameCannotGoIsNeverOverwritten)
{
    SKIP_UNLESS_ROOT();
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody || nobody->pw_uid == 0)
        GTEST_SKIP() << "no unprivileged user 'nobody'";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const auto asNobody = [uid, gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(99);
    };
    TempTree tree;
    ASSERT_EQ(::chmod(QFile::encodeName(tree.path()).constData(), 0755), 0);
    const QByteArray content = QByteArray(20000, 'k');

    // Writable for everyone, in root's folder: the data could be overwritten, the name not removed.
    tree.folder("roots");
    const QString open = tree.file("roots/open-to-all", content);
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0666), 0);
    // A sticky shared folder: only the owners may remove a name.
    const QString shared = tree.folder("shared");
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString notTheirs = tree.file("shared/roots-file", content);
    ASSERT_EQ(::chmod(QFile::encodeName(notTheirs).constData(), 0666), 0);
    for (const QString& file : {open, notTheirs}) {
        const SrmRun r = runSrm({"-fsz", file}, 60000, asNobody);
        EXPECT_EQ(r.code, 1) << file.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("not touched")) << r.err.toStdString();
        EXPECT_EQ(TempTree::read(file), content) << file.toStdString();
    }

    // Immutable or append-only folders keep their names even for root, and -f does
    // not unlock a folder it was not asked to remove.
    for (const int flag : {FS_IMMUTABLE_FL, FS_APPEND_FL}) {
        const QString folder = tree.folder(flag == FS_IMMUTABLE_FL ? "locked" : "append");
        const QString inside = tree.file(QFileInfo(folder).fileName() + "/file", content);
        if (!setFlag(folder, flag, true))
            GTEST_SKIP() << "no inode flags on " << tree.path().toStdString();
        const SrmRun r = runSrm({"-fsz", inside});
        const QByteArray after = TempTree::read(inside);
        setFlag(folder, flag, false);
        EXPECT_EQ(r.code, 1) << r.err.toStdString();
        EXPECT_EQ(after, content);
    }
}

// Without a lease (another user's file, no CAP_LEASE) the writer is looked for
// among the processes the caller may see.
TEST(SrmSafety, WriterIsFoundWithoutALease)
{
    SKIP_UNLESS_ROOT();
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody || nobody->pw_uid == 0)
        GTEST_SKIP() << "no unprivileged user 'nobody'";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const auto asNobody = [uid, gid] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(99);
    };
    TempTree tree;
    ASSERT_EQ(::chmod(QFile::encodeName(tree.path()).constData(), 0755), 0);
    const QString folder = tree.folder("theirs");
    giveTo(folder, uid);
    const QString file = tree.file("theirs/roots-file", "root's data");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0666), 0);

    QProcess writer;
    writer.setStandardOutputFile(file, QIODevice::Append);
    writer.setChildProcessModifier(asNobody);
    writer.start("sleep", {"30"});
    ASSERT_TRUE(writer.waitForStarted());
    const SrmRun r = runSrm({"-fsz", file}, 60000, asNobody);
    writer.kill();
    writer.waitForFinished();
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("open for writing")) << r.err.toStdString();
    EXPECT_EQ(TempTree::read(file), "root's data");
}
