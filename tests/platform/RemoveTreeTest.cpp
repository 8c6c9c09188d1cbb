#include "platform/RemoveTree.h"

#include "TempTree.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A bind mount made by the test and undone by it, whatever happens.
class BindMount
{
public:
    BindMount(const QString& source, const QString& target) : m_target(target)
    {
        m_ok = ::mount(QFile::encodeName(source).constData(), QFile::encodeName(target).constData(), nullptr,
                       MS_BIND, nullptr) == 0;
    }
    ~BindMount()
    {
        if (m_ok)
            ::umount2(QFile::encodeName(m_target).constData(), MNT_DETACH);
    }
    bool ok() const { return m_ok; }

private:
    QString m_target;
    bool m_ok = false;
};

}  // namespace

TEST(RemoveTree, DataUnderABindMountInsideTheTreeSurvives)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "bind mounts need root";
    TempTree tree;
    const QString outside = tree.file("outside/precious", "keep me");
    tree.file("doomed/plain", "x");
    const QString mountPoint = tree.folder("doomed/sub/mnt");
    BindMount bind(tree / "outside", mountPoint);
    ASSERT_TRUE(bind.ok());
    // Same file system, same device number: only the mount ID tells them apart.
    EXPECT_FALSE(platform::removeTree(tree / "doomed"));
    EXPECT_EQ(TempTree::read(outside), QByteArray("keep me"));
    EXPECT_EQ(TempTree::read(mountPoint + "/precious"), QByteArray("keep me"));
    EXPECT_FALSE(QFileInfo::exists(tree / "doomed/plain"));
    // The mount point itself is never emptied either.
    EXPECT_FALSE(platform::removeTree(mountPoint));
    EXPECT_EQ(TempTree::read(outside), QByteArray("keep me"));
}

TEST(RemoveTree, ImmutableFileFailsAndALinkInThePathIsRefused)
{
    TempTree tree;
    const QString locked = tree.file("doomed/locked", "x");
    if (QProcess::execute("chattr", {"+i", locked}) == 0) {
        EXPECT_FALSE(platform::removeTree(tree / "doomed"));
        EXPECT_TRUE(QFileInfo::exists(locked));
        QProcess::execute("chattr", {"-i", locked});
    }
    EXPECT_TRUE(platform::removeTree(tree / "doomed"));

    // A folder swapped for a link after listing: the strict removal refuses
    // to go through it, the target's contents stay.
    const QString target = tree.file("elsewhere/item", "data");
    tree.link("swapped", tree / "elsewhere");
    EXPECT_FALSE(platform::removeTree(tree / "swapped/item", platform::PathLinks::Refuse));
    EXPECT_EQ(TempTree::read(target), QByteArray("data"));
    EXPECT_FALSE(platform::removeTree("/"));
    EXPECT_FALSE(platform::removeTree("relative/path"));
}

TEST(RemoveTree, AsAUserTheKernelKeepsOtherUsersFilesOut)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "changing user needs root";
    TempTree tree;
    ::chmod(QFile::encodeName(tree.path()).constData(), 0755);
    const uid_t me = 42421, other = 42422;
    // The user's home, and a sibling home of another uid reached through a link.
    const QString home = tree.folder("home");
    const QString sibling = tree.file("sibling/.config/foo/settings", "theirs");
    tree.file("home/.config/foo/mine", "mine");
    tree.link("home/.config/theirs", tree / "sibling/.config/foo");
    QProcess::execute("chown", {"-R", QString("%1:%1").arg(me), home});
    QProcess::execute("chown", {"-R", QString("%1:%1").arg(other), tree / "sibling"});

    EXPECT_TRUE(platform::removeTreeAsUser(tree / "home/.config/foo", me, me));
    EXPECT_TRUE(platform::removeTreeAsUser(tree / "home/.config/theirs", me, me));
    EXPECT_EQ(TempTree::read(sibling), QByteArray("theirs"));
    // Aimed at the sibling's folder itself, the kernel says no.
    EXPECT_FALSE(platform::removeTreeAsUser(tree / "sibling/.config/foo", me, me));
    EXPECT_EQ(TempTree::read(sibling), QByteArray("theirs"));
}
