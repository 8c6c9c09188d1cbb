#include "TempTree.h"

#include "inter/RunningBrowsers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A copy of sleep under a browser's name, run as `uid`.
class FakeBrowser
{
public:
    FakeBrowser(const TempTree& tree, const QString& name, uid_t uid)
    {
        const QString copy = tree / name;
        if (!QFileInfo::exists(copy)) {
            QFile::copy(QStringLiteral("/bin/sleep"), copy);
            ::chmod(QFile::encodeName(copy).constData(), 0755);
        }
        m_process.setProgram(copy);
        m_process.setArguments({QStringLiteral("30")});
        m_process.setChildProcessModifier([uid] {
            if (::geteuid() == 0 && uid != 0) {
                (void)::setgid(uid);
                (void)::setuid(uid);
            }
        });
        m_process.start();
        EXPECT_TRUE(m_process.waitForStarted());
    }
    ~FakeBrowser()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    pid_t pid() const { return pid_t(m_process.processId()); }
    bool running() { return !m_process.waitForFinished(0) && m_process.state() == QProcess::Running; }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

// Gone, or a zombie waiting for us to collect it.
bool exited(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
}

uid_t userUid() { return ::geteuid() == 0 ? 4251 : ::getuid(); }

}  // namespace

TEST(RunningBrowsers, OnlyTheUsersOwnBrowsersAreFoundAndClosed)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run processes as two users";
    TempTree tree;
    ::chmod(QFile::encodeName(tree.path()).constData(), 0755);
    FakeBrowser mine(tree, "firefox-esr", userUid());
    FakeBrowser theirs(tree, "firefox-esr", 4343);
    FakeBrowser chrome(tree, "chrome", userUid());
    FakeBrowser unrelated(tree, "vlc", userUid());
    QThread::msleep(100);  // let each exec take its new name

    BrowerObj firefox;
    firefox.name = "Firefox ESR";
    const QStringList names = RunningBrowsers::processNamesFor(firefox);
    const QList<pid_t> found = RunningBrowsers::find(userUid(), names);
    EXPECT_EQ(found, QList<pid_t>{mine.pid()});

    // A number that is not the user's is refused even when handed over.
    QElapsedTimer clock;
    clock.start();
    const QList<pid_t> left = RunningBrowsers::close({mine.pid(), theirs.pid(), chrome.pid()}, userUid(), names, 5000);
    EXPECT_TRUE(left.isEmpty());
    EXPECT_LT(clock.elapsed(), 4000);
    // The clean may start once close() returns: the process has exited.
    EXPECT_TRUE(exited(mine.pid()));
    EXPECT_TRUE(theirs.running());
    EXPECT_TRUE(chrome.running());
    EXPECT_TRUE(unrelated.running());
}

TEST(RunningBrowsers, OnlyTheMainProcessIsAskedToQuit)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run processes as the test user";
    TempTree tree;
    ::chmod(QFile::encodeName(tree.path()).constData(), 0755);
    // The main process starts a helper of the same name, as a browser does.
    const QString script = tree.file("chrome-launch.sh", "#!/bin/sh\n\"$1\" 30 &\nexec \"$1\" 31\n");
    ::chmod(QFile::encodeName(script).constData(), 0755);
    QFile::copy("/bin/sleep", tree / "chrome");
    ::chmod(QFile::encodeName(tree / "chrome").constData(), 0755);
    QProcess launcher;
    launcher.setProgram(script);
    launcher.setArguments({tree / "chrome"});
    launcher.setChildProcessModifier([] {
        (void)::setgid(4252);
        (void)::setuid(4252);
    });
    launcher.start();
    ASSERT_TRUE(launcher.waitForStarted());
    QThread::msleep(200);
    BrowerObj chrome;
    chrome.name = "Google Chrome";
    const QList<pid_t> found = RunningBrowsers::find(4252, RunningBrowsers::processNamesFor(chrome));
    // The background helper was started by the shell, which became the main
    // "chrome" by exec: its parent is the main process.
    EXPECT_EQ(found, QList<pid_t>{pid_t(launcher.processId())});
    RunningBrowsers::close(found, 4252, RunningBrowsers::processNamesFor(chrome), 5000);
    launcher.waitForFinished(2000);
    // The helper outlives it here (a real browser takes its helpers along);
    // end it ourselves.
    for (pid_t pid : RunningBrowsers::find(4252, RunningBrowsers::processNamesFor(chrome)))
        ::kill(pid, SIGKILL);
}

TEST(RunningBrowsers, AProcessThatWillNotQuitIsReportedAfterTheTimeOut)
{
    TempTree tree;
    ::chmod(QFile::encodeName(tree.path()).constData(), 0755);
    // A browser that ignores the request: the ignored signal stays ignored
    // across the exec into a copy of sleep named like the browser.
    const QString script = tree.file("launch", "#!/bin/sh\ntrap '' TERM\nexec \"$1\" 30\n");
    ::chmod(QFile::encodeName(script).constData(), 0755);
    QFile::copy("/bin/sleep", tree / "opera");
    ::chmod(QFile::encodeName(tree / "opera").constData(), 0755);
    QProcess stubborn;
    stubborn.setProgram(script);
    stubborn.setArguments({tree / "opera"});
    stubborn.setChildProcessModifier([] {
        if (::geteuid() == 0) {
            (void)::setgid(4251);
            (void)::setuid(4251);
        }
    });
    stubborn.start();
    ASSERT_TRUE(stubborn.waitForStarted());
    QThread::msleep(200);
    BrowerObj opera;
    opera.name = "Opera";
    const QStringList names = RunningBrowsers::processNamesFor(opera);
    const QList<pid_t> found = RunningBrowsers::find(userUid(), names);
    ASSERT_EQ(found, QList<pid_t>{pid_t(stubborn.processId())});
    EXPECT_EQ(RunningBrowsers::close(found, userUid(), names, 300), found);
    stubborn.kill();
    stubborn.waitForFinished();
}
