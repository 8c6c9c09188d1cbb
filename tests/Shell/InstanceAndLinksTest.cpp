#include "MyNSApplication.h"
#include "ScratchDisplay.h"
#include "TempTree.h"
#include "platform/SingleInstance.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

TEST(SingleInstance, SecondClaimFailsAndAsksTheOwnerToComeForward)
{
    TempTree tree;
    platform::SingleInstance first(tree.path(), "instance-test");
    ASSERT_TRUE(first.claim());
    QSignalSpy activated(&first, &platform::SingleInstance::activationRequested);
    {
        platform::SingleInstance second(tree.path(), "instance-test");
        EXPECT_FALSE(second.claim());
    }
    EXPECT_TRUE(activated.wait(3000) || activated.count() == 1);

    // The lock goes with its owner: the next one takes over.
    platform::SingleInstance other(tree.path(), "other-name");
    EXPECT_TRUE(other.claim());
}

TEST(SingleInstance, LockIsReleasedWithTheOwner)
{
    TempTree tree;
    {
        platform::SingleInstance first(tree.path(), "instance-test");
        ASSERT_TRUE(first.claim());
    }
    platform::SingleInstance next(tree.path(), "instance-test");
    EXPECT_TRUE(next.claim());
}

// The staged program, copied into a private prefix so it finds its own state
// folder there (the program locates its tree from its real executable path).
class ProgramCopy
{
public:
    ProgramCopy()
    {
        const QString libexec = tree.folder("libexec/tarnwick-vantoly");
        program = libexec + "/tarnwick-vantoly";
        EXPECT_TRUE(QFile::copy(QStringLiteral(TV_PROGRAM_PATH), program));
        QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        tree.folder("share");
        QFile::link(QStringLiteral(TV_STAGE_DIR) + "/share/tarnwick-vantoly", tree / "share/tarnwick-vantoly");
        tree.folder("var/lib/tarnwick-vantoly");
    }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", tree.path());
        env.remove("XDG_CONFIG_HOME");
        return env;
    }
    void start(QProcess& p) const
    {
        p.setProcessEnvironment(environment());
        p.start(program, {});
    }
    // With `extra` over the environment start() gives.
    void start(QProcess& p, const QProcessEnvironment& extra) const
    {
        QProcessEnvironment env = environment();
        for (const QString& key : extra.keys())
            env.insert(key, extra.value(key));
        p.setProcessEnvironment(env);
        p.start(program, {});
    }
    QString stateFile(const QString& name) const { return tree / ("var/lib/tarnwick-vantoly/" + name); }

    TempTree tree;
    QString program;
};

TEST(Program, SecondInstanceExitsZeroAndTheFirstKeepsRunning)
{
    ProgramCopy copy;
    QProcess first;
    copy.start(first);
    ASSERT_TRUE(first.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(copy.stateFile("com.tarnwick.vantoly.sock")), 10000);

    QProcess second;
    copy.start(second);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    // Termination by signal leaves through the ordinary way out.
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);

    // The start-up defaults were written.
    const QByteArray settings = TempTree::read(copy.stateFile("VantolyBase.plist"));
    EXPECT_TRUE(settings.contains("Lato Light"));
}

// Every change to a file inotify sees in the watched folders, as
// "folder/name", but the single-instance lock and socket, which every start makes.
class ChangeWatch
{
public:
    explicit ChangeWatch(const QStringList& folders)
    {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        for (const QString& folder : folders) {
            const int wd = ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(),
                                               IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM |
                                                   IN_DELETE | IN_ATTRIB);
            if (wd >= 0)
                m_folders.insert(wd, folder);
        }
    }
    ~ChangeWatch() { ::close(m_fd); }
    int watched() const { return int(m_folders.size()); }

    QStringList changes() const
    {
        QStringList seen;
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                const QString name = e->len ? QFile::decodeName(e->name) : QString();
                // The local server makes its socket in a folder of its own and moves it out.
                if (!(e->mask & IN_ISDIR) && !name.endsWith(QLatin1String(".lock")) && !name.endsWith(QLatin1String(".sock")))
                    seen << m_folders.value(e->wd) + '/' + name;
                at += ssize_t(sizeof(inotify_event)) + e->len;
            }
        }
        seen.removeDuplicates();
        return seen;
    }

private:
    int m_fd = -1;
    QHash<int, QString> m_folders;
};

// Runs the program until it has been up for a while, then ends it the ordinary way.
void runOnce(const ProgramCopy& copy)
{
    QProcess p;
    copy.start(p);
    ASSERT_TRUE(p.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(copy.stateFile("com.tarnwick.vantoly.sock")), 20000);
    // The window, the tools and what they start once the window is up.
    QTest::qWait(3000);
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
}

TEST(Program, AStartWithUnchangedSettingsWritesNoFile)
{
    ProgramCopy copy;
    runOnce(copy);  // the first start stores the start-up defaults
    const QString config = copy.tree / ".config/tarnwick-vantoly";
    ASSERT_TRUE(TempTree::read(copy.stateFile("VantolyBase.plist")).contains("Lato Light"));
    ASSERT_TRUE(TempTree::read(config + "/tarnwick-vantoly.ini").contains("EraserTimes=1"));

    ChangeWatch watch({copy.tree / "var/lib/tarnwick-vantoly", config, copy.tree / ".config", copy.tree.path()});
    ASSERT_EQ(watch.watched(), 4);
    runOnce(copy);
    EXPECT_EQ(watch.changes().join(", ").toStdString(), "") << "a start with nothing to store wrote these";
}

TEST(Program, AtScaleTwoOnAFullHdScreenTheWholeWindowIsOnTheScreen)
{
    ScratchDisplay x(QStringLiteral("1920x1080"));
    if (x.display().isEmpty())
        GTEST_SKIP() << "no Xvfb to give a 1920x1080 screen";
    ProgramCopy copy;
    QProcessEnvironment extra;
    extra.insert("QT_QPA_PLATFORM", "xcb");
    extra.insert("DISPLAY", x.display());
    extra.insert("QT_SCALE_FACTOR", "2");
    QProcess p;
    copy.start(p, extra);
    ASSERT_TRUE(p.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(copy.stateFile("com.tarnwick.vantoly.sock")), 20000);
    // The program's window as the X server holds it: "WxH+X+Y" of the one
    // large top-level window (the others Qt makes are a few pixels).
    QRect frame;
    for (int tries = 0; tries < 50 && frame.isEmpty(); ++tries) {
        QTest::qWait(200);
        QProcess info;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", x.display());
        info.setProcessEnvironment(env);
        info.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")});
        if (!info.waitForFinished(5000))
            continue;
        static const QRegularExpression line(QStringLiteral("\\s(\\d+)x(\\d+)\\+(-?\\d+)\\+(-?\\d+)\\s"));
        for (const QString& row : QString::fromUtf8(info.readAllStandardOutput()).split('\n')) {
            const QRegularExpressionMatch m = line.match(row);
            if (m.hasMatch() && m.captured(1).toInt() > 400)
                frame = QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
        }
    }
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(20000));
    ASSERT_FALSE(frame.isEmpty()) << "the window was never seen";
    EXPECT_TRUE(QRect(0, 0, 1920, 1080).contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    EXPECT_GT(frame.width(), 1500) << "the scale is lowered only as far as needed";
}

TEST(OpenUrl, OnlyWebAddressesAreOpened)
{
    for (const char* ok : {"http://example.org/a?b=c", "https://www.tarnwick.example/vantoly/"})
        EXPECT_TRUE(platform::isOpenableWebUrl(ok)) << ok;
    for (const char* bad : {"file:///etc/shadow", "javascript:alert(1)", "--help", "", "https://", "ftp://x.org/",
                            "smb://host/share"})
        EXPECT_FALSE(platform::isOpenableWebUrl(bad)) << bad;
}

TEST(OpenUrl, RootOpensAsTheInvokingUserWithACleanEnvironment)
{
    platform::InvokingUser user{1000, 1000, "alice", "/home/alice"};
    QProcessEnvironment env;
    env.insert("DISPLAY", ":1");
    env.insert("HOME", "/root");
    env.insert("LD_PRELOAD", "/tmp/evil.so");
    const auto cmd = platform::openUrlCommand("https://example.org/a?q=x%20y", user, true, env);
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->program, "runuser");
    EXPECT_EQ(cmd->arguments.mid(0, 5), (QStringList{"-u", "alice", "--", "env", "-i"}));
    EXPECT_TRUE(cmd->arguments.contains("HOME=/home/alice"));
    EXPECT_TRUE(cmd->arguments.contains("DISPLAY=:1"));
    EXPECT_TRUE(cmd->arguments.contains("XDG_RUNTIME_DIR=/run/user/1000"));
    EXPECT_FALSE(cmd->arguments.join(' ').contains("LD_PRELOAD"));
    EXPECT_FALSE(cmd->arguments.join(' ').contains("/root"));
    EXPECT_EQ(cmd->arguments.mid(cmd->arguments.size() - 2), (QStringList{"xdg-open", "https://example.org/a?q=x%20y"}));

    // No unprivileged user to open it for: nothing is opened as root.
    EXPECT_FALSE(platform::openUrlCommand("https://example.org/", {0, 0, "root", "/root"}, true, env));
    EXPECT_FALSE(platform::openUrlCommand("file:///etc/shadow", user, true, env));
    const auto plain = platform::openUrlCommand("https://example.org/", user, false, env);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->program, "xdg-open");
}

TEST(OpenFile, PathsOpenAndRevealAsTheInvokingUserOnly)
{
    platform::InvokingUser user{1000, 1000, "alice", "/home/alice"};
    const platform::InvokingUser root{0, 0, "root", "/root"};
    QProcessEnvironment env;
    env.insert("DISPLAY", ":1");

    const auto open = platform::openFileCommand("/home/alice/a b.txt", user, true, env);
    ASSERT_TRUE(open);
    EXPECT_EQ(open->program, "runuser");
    EXPECT_EQ(open->arguments.mid(open->arguments.size() - 2), (QStringList{"xdg-open", "/home/alice/a b.txt"}));
    // A relative name could pass for an option; an address is not a file.
    for (const char* bad : {"--help", "a.txt", "", "https://example.org/"})
        EXPECT_FALSE(platform::openFileCommand(bad, user, true, env)) << bad;
    EXPECT_FALSE(platform::openFileCommand("/tmp/x", root, true, env)) << "never as root";

    const auto reveal = platform::revealCommand("/home/alice/a b#1.txt", user, true, env);
    ASSERT_TRUE(reveal);
    EXPECT_EQ(reveal->arguments.mid(0, 3), (QStringList{"-u", "alice", "--"}));
    EXPECT_TRUE(reveal->arguments.contains("dbus-send"));
    EXPECT_EQ(reveal->arguments.mid(reveal->arguments.size() - 2),
              (QStringList{"array:string:file:///home/alice/a%20b%231.txt", "string:"}));
    EXPECT_FALSE(platform::revealCommand("/tmp/x", root, true, env));

    // Not root: the command runs as it is, as the user who started it.
    const auto plain = platform::revealCommand("/tmp/x", user, false, env);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->program, "dbus-send");
}

TEST(EditShortcuts, CtrlKeysMapToEditActions)
{
    auto action = [](int key, Qt::KeyboardModifiers mods) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        const char* a = MyNSApplication::editActionFor(e);
        return a ? QString::fromLatin1(a) : QString();
    };
    EXPECT_EQ(action(Qt::Key_C, Qt::ControlModifier), "copy");
    EXPECT_EQ(action(Qt::Key_A, Qt::ControlModifier), "selectAll");
    EXPECT_EQ(action(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier), "redo");
    EXPECT_EQ(action(Qt::Key_Z, Qt::ShiftModifier), "") << "a capital Z types the letter";
    EXPECT_EQ(action(Qt::Key_C, Qt::ControlModifier | Qt::AltModifier), "");

    QLineEdit edit("hello");
    edit.show();
    edit.setFocus();
    QApplication::setActiveWindow(&edit);
    edit.deselect();
    EXPECT_TRUE(MyNSApplication::sendEditAction("selectAll"));
    EXPECT_EQ(edit.selectedText(), "hello");
    EXPECT_FALSE(MyNSApplication::sendEditAction("noSuchAction"));
}

}  // namespace
