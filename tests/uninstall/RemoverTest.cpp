#include "uninstall/AsMDeleteExecutor.h"
#include "uninstall/RelatedAppFilesScanner.h"

#include "FakeTool.h"
#include "TempTree.h"

#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <mutex>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Outcomes : AsMDeleteExecutorDelegate
{
    std::mutex lock;
    AMAppItemList removed, failed;
    void deleteRelatedFile(const AMAppItemPtr& item) override
    {
        std::lock_guard g(lock);
        removed << item;
    }
    void deleteRelatedFileFail(const AMAppItemPtr& item) override
    {
        std::lock_guard g(lock);
        failed << item;
    }
};

AMAppItemPtr pathItem(const QString& path)
{
    return RelatedAppFilesScanner::constructItem(path, 0);
}


mode_t modeOf(const QString& path)
{
    struct stat st{};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

}  // namespace

TEST(Remover, OnlyWhatIsListedGoesAndALinkGoesWithoutItsTarget)
{
    TempTree tree;
    const QString target = tree.file("outside/data", "precious");
    ::chmod(QFile::encodeName(target).constData(), 0640);
    const QString link = tree.link("home/.config/foo.link", target);
    tree.file("home/.config/foo/a/b", "x");
    const QString unticked = tree.file("home/.config/footer/keep", "keep");

    Outcomes outcomes;
    AsMDeleteExecutor executor;
    executor.setDelegate(&outcomes);
    executor.setUser(platform::InvokingUser{0, 0, "root", {}});
    executor.executeDelete({pathItem(link), pathItem(tree / "home/.config/foo")});
    executor.waitForDone();

    EXPECT_EQ(outcomes.removed.size(), 2);
    EXPECT_TRUE(outcomes.failed.isEmpty());
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(tree / "home/.config/foo"));
    EXPECT_EQ(TempTree::read(target), QByteArray("precious"));
    EXPECT_EQ(modeOf(target), 0640u);
    EXPECT_EQ(TempTree::read(unticked), QByteArray("keep"));
    // What was freed is what was there: the folder's one byte, the link's own length.
    EXPECT_EQ(outcomes.removed[1]->freedBytes, 1u);
}

TEST(Remover, BindMountsImmutableFilesAndOtherUsersHomesFailTheRecord)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TempTree tree;
    ::chmod(QFile::encodeName(tree.path()).constData(), 0755);
    Outcomes outcomes;
    AsMDeleteExecutor executor;
    executor.setDelegate(&outcomes);

    // Data bind-mounted inside the tree survives and the record fails.
    const QString kept = tree.file("elsewhere/data", "bound");
    const QString mnt = tree.folder("home/.cache/foo/mnt");
    ASSERT_EQ(::mount(QFile::encodeName(tree / "elsewhere").constData(), QFile::encodeName(mnt).constData(), nullptr,
                      MS_BIND, nullptr), 0);
    executor.setUser(platform::InvokingUser{0, 0, "root", {}});
    const auto bound = pathItem(tree / "home/.cache/foo");
    EXPECT_FALSE(executor.removeTrahFile(bound));
    ::umount2(QFile::encodeName(mnt).constData(), MNT_DETACH);
    EXPECT_EQ(TempTree::read(kept), QByteArray("bound"));
    EXPECT_EQ(bound->freedBytes, 0u);
    EXPECT_FALSE(bound->failReason.isEmpty());

    // An immutable file is reported failed.
    const QString locked = tree.file("home/.config/foo-locked/f", "x");
    if (QProcess::execute("chattr", {"+i", locked}) == 0) {
        EXPECT_FALSE(executor.removeTrahFile(pathItem(tree / "home/.config/foo-locked")));
        EXPECT_TRUE(QFileInfo::exists(locked));
        QProcess::execute("chattr", {"-i", locked});
    }

    // As the invoking user (a uid of its own), a sibling home of another uid
    // is out of reach even through a link in the user's folders.
    platform::InvokingUser user;
    user.uid = 42431;
    user.gid = 42431;
    user.home = tree / "home";
    const QString theirs = tree.file("sibling/.config/foo/settings", "theirs");
    tree.link("home/.config/foo", tree / "sibling/.config/foo");
    tree.file("home/.local/share/foo/x", "mine");
    QProcess::execute("chown", {"-R", "42431:42431", tree / "home"});
    QProcess::execute("chown", {"-R", "42432:42432", tree / "sibling"});
    executor.setUser(user);
    EXPECT_TRUE(executor.removeTrahFile(pathItem(tree / "home/.local/share/foo")));
    EXPECT_FALSE(executor.removeTrahFile(pathItem(tree / "home/.config/foo/settings")));
    EXPECT_FALSE(executor.removeTrahFile(pathItem(tree / "sibling/.config/foo")));
    EXPECT_EQ(TempTree::read(theirs), QByteArray("theirs"));
    // The home itself, or a folder holding it, is never removed.
    EXPECT_FALSE(executor.removeTrahFile(pathItem(tree / "home")));
    EXPECT_FALSE(executor.removeTrahFile(pathItem(tree.path())));
    EXPECT_TRUE(QFileInfo::exists(tree / "home/.config"));
}

TEST(Remover, PackagesGoThroughAptWithTheExactArgumentsAndItsExitStatusIsRead)
{
    TempTree tree;
    const QString state = tree.file("state", "installed");
    // apt-get: the simulation lists two packages; the removal records its
    // environment and succeeds unless told to fail.
    FakeTool apt("apt-get",
                 "if [ \"$1\" = -y ]; then echo \"$* DEBIAN_FRONTEND=$DEBIAN_FRONTEND\" >> \"$LOG\"; \n"
                 "else echo \"$*\" >> \"$LOG\"; fi\n"
                 "if [ \"$1\" = -s ]; then echo 'Remv demo [1.0]'; echo 'Remv demo-data [1.0]'; exit 0; fi\n"
                 "if [ -e \"$(dirname \"$LOG\")/fail\" ]; then exit 100; fi\n"
                 "echo removed > '" + state + "'\n");
    FakeTool dpkg("dpkg-query",
                  "if [ \"$1\" = -W ] && [ \"$2\" = '-f=${db:Status-Status}' ]; then cat '" + state + "'; exit 0; fi\n"
                  "printf 'demo\\tdemo\\t1.0\\t100\\tno\\toptional\\tinstalled\\n'\n"
                  "printf 'demo-data\\tdemo-data\\t1.0\\t50\\tno\\toptional\\tinstalled\\n'\n");
    PackageTools tools;
    tools.aptGet = apt.path();
    tools.dpkgQuery = dpkg.path();

    auto item = std::make_shared<AMAppItem>();
    item->kind = AppKind::Package;
    item->packageName = "demo";
    item->path = "/usr/share/applications/demo.desktop";
    ASSERT_TRUE(AsMDeleteExecutor::planPackageRemoval(*item, tools));
    EXPECT_EQ(item->alsoRemoves, QStringList({"demo", "demo-data"}));

    AsMDeleteExecutor executor;
    executor.setTools(tools);
    EXPECT_TRUE(executor.removeTrahFile(item));
    EXPECT_EQ(item->freedBytes, 150u * 1024);
    const QStringList calls = apt.log().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(calls.size(), 3);
    EXPECT_EQ(calls[0], "-s remove demo");
    EXPECT_EQ(calls[1], "-s remove demo");
    EXPECT_EQ(calls[2], "-y remove demo DEBIAN_FRONTEND=noninteractive");

    // A non-zero exit fails the record, whatever dpkg says afterwards.
    QFile::remove(state);
    tree.file("state", "installed");
    QFile(apt.folder() + "/fail").open(QIODevice::WriteOnly);
    EXPECT_FALSE(executor.removeTrahFile(item));
    EXPECT_EQ(item->freedBytes, 0u);
    EXPECT_TRUE(item->failReason.contains("100"));

    // Exit 0 but still installed: failed too.
    QFile::remove(apt.folder() + "/fail");
    FakeTool lyingApt("apt-get", "if [ \"$1\" = -s ]; then echo 'Remv demo [1.0]'; echo 'Remv demo-data [1.0]'; fi\n");
    tools.aptGet = lyingApt.path();
    executor.setTools(tools);
    EXPECT_FALSE(executor.removeTrahFile(item));

    // A package the system needs is refused at the plan.
    FakeTool essential("dpkg-query", "printf 'demo\\tdemo\\t1\\t1\\tyes\\trequired\\tinstalled\\n'\n");
    tools.dpkgQuery = essential.path();
    EXPECT_FALSE(AsMDeleteExecutor::planPackageRemoval(*item, tools));
}

TEST(Remover, FlatpaksGoThroughFlatpakAndMustBeGoneAfterwards)
{
    TempTree tree;
    const QString folder = tree.file("flatpak/app/org.ex.App/current/files/bin/app", QByteArray(300, 'a'));
    (void)folder;
    FakeTool flatpak("flatpak", "echo \"$*\" >> \"$LOG\"\n"
                                "[ -e \"$(dirname \"$LOG\")/leave\" ] || rm -rf '" + tree / "flatpak/app/org.ex.App" + "'\n");
    PackageTools tools;
    tools.flatpak = flatpak.path();
    auto item = std::make_shared<AMAppItem>();
    item->kind = AppKind::Flatpak;
    item->bundleID = "org.ex.App";
    item->path = tree / "flatpak/app/org.ex.App";
    AsMDeleteExecutor executor;
    executor.setTools(tools);

    // It says it worked but left the folder: failed.
    QFile(flatpak.folder() + "/leave").open(QIODevice::WriteOnly);
    EXPECT_FALSE(executor.removeTrahFile(item));
    QFile::remove(flatpak.folder() + "/leave");
    EXPECT_TRUE(executor.removeTrahFile(item));
    EXPECT_EQ(item->freedBytes, 300u);
    EXPECT_EQ(flatpak.log(), "uninstall --noninteractive --system org.ex.App\n"
                             "uninstall --noninteractive --system org.ex.App\n");
    // An identifier that could pass for an option is never handed over.
    item->bundleID = "--all";
    EXPECT_FALSE(executor.removeTrahFile(item));
}

TEST(Remover, AptWaitsForTheLockWhenToldAndItsReasonIsTheRealOneNotTheWait)
{
    // Waited for, the lock is no reason: the removal script's refusal is.
    const QByteArray waited = "Waiting for cache lock: Could not get lock /var/lib/dpkg/lock-frontend. It is held by "
                              "process 7 (dpkg)...\r"
                              "Waiting for cache lock: Could not get lock /var/lib/dpkg/lock-frontend. It is held by "
                              "process 7 (dpkg)... 1s\n";
    // dpkg's lines end in "\r\n" when apt runs it.
    const QByteArray refused = "Removing demo (1.0) ...\r\n"
                               "dpkg: error processing package demo (--remove):\r\n"
                               " installed demo package pre-removal script subprocess returned error exit status 1\r\n";
    EXPECT_EQ(aptReason(waited + refused, "E: Sub-process /usr/bin/dpkg returned an error code (1)\n", 100),
              "installed demo package pre-removal script subprocess returned error exit status 1");
    // Not got in the end: that is the reason.
    EXPECT_EQ(aptReason(waited, "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 7 (dpkg)\n", 100),
              "another program is using the package manager; try again when it ends");

    // Told to wait, apt-get is given the time.
    TempTree tree;
    const QString state = tree.file("state", "installed");
    FakeTool apt("apt-get", "echo \"$*\" >> \"$LOG\"\n"
                            "case \"$*\" in *-s*) echo 'Remv demo [1.0]'; exit 0;; esac\n"
                            "echo removed > '" + state + "'\n");
    FakeTool dpkg("dpkg-query", "if [ \"$2\" = '-f=${db:Status-Status}' ]; then cat '" + state + "'; exit 0; fi\n"
                                "printf 'demo\\tdemo\\t1.0\\t100\\tno\\toptional\\tinstalled\\n'\n");
    PackageTools tools;
    tools.aptGet = apt.path();
    tools.dpkgQuery = dpkg.path();
    tools.lockWaitSeconds = 90;
    auto item = std::make_shared<AMAppItem>();
    item->kind = AppKind::Package;
    item->packageName = "demo";
    AsMDeleteExecutor executor;
    executor.setTools(tools);
    EXPECT_TRUE(executor.removeTrahFile(item)) << item->failReason.toStdString();
    EXPECT_TRUE(apt.log().contains("-o DPkg::Lock::Timeout=90 -y remove demo")) << apt.log().toStdString();
}
