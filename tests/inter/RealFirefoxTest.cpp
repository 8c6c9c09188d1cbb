// Internet Cleanup on a profile Firefox ESR made itself, for a user made for
// the test: pages served on 127.0.0.1 with an icon, a cookie set by header
// and one by script, addresses with query strings and a bookmark; Firefox
// quits normally before the clean runs through the screen.

#include "BrowserFixtures.h"

#include "inter/BrowserListWidgets.h"
#include "inter/InternetViewController.h"
#include "inter/RunningBrowsers.h"
#include "platform/FileSystemUser.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMap>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

using namespace fixture;

namespace {

const QString kFirefox = QStringLiteral("/usr/bin/firefox-esr");
// Each run of Firefox is given this long before the test gives up on it.
constexpr int kFirefoxTimeoutMs = 120000;
const QByteArray kPng = QByteArray::fromBase64(
    "iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/9hAAAAFklEQVR42mP8z8Dwn4EIwDiqkL4KAUxbH/HmSmf1AAAAAElFTkSuQmCC");

int listenOn(int port, int* bound)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(uint16_t(port));
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    *bound = ntohs(addr.sin_port);
    return fd;
}

// The pages Firefox visits. Every page names an icon and sets a cookie from
// its script; /cookie also sets one by its header.
class PageServer
{
public:
    PageServer()
    {
        m_fd = listenOn(0, &m_port);
        if (m_fd >= 0)
            m_thread = std::thread([this] { serve(); });
    }
    ~PageServer()
    {
        m_stop = true;
        ::shutdown(m_fd, SHUT_RDWR);  // wakes the accept
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_fd);
    }
    int port() const { return m_port; }
    QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path); }
    QStringList requests()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    void serve()
    {
        while (!m_stop) {
            const int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            timeval tv{5, 0};
            ::setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            QByteArray request;
            char buf[4096];
            while (!request.contains("\r\n\r\n") && request.size() < 65536) {
                const ssize_t n = ::read(c, buf, sizeof buf);
                if (n <= 0)
                    break;
                request.append(buf, int(n));
            }
            const QByteArray path = request.split(' ').value(1);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests << QString::fromUtf8(path);
            }
            QByteArray headers = "HTTP/1.1 200 OK\r\nConnection: close\r\nCache-Control: max-age=3600\r\n";
            QByteArray body;
            if (path.startsWith("/icon.png") || path.startsWith("/favicon.ico")) {
                headers += "Content-Type: image/png\r\n";
                body = kPng;
            } else {
                headers += "Content-Type: text/html; charset=utf-8\r\n";
                if (path.startsWith("/cookie"))
                    headers += "Set-Cookie: server=CMARK-server; Max-Age=86400; Path=/\r\n";
                // /store keeps a value in the site's local storage and
                // one in its IndexedDB.
                const QByteArray store =
                    path.startsWith("/store")
                        ? "localStorage.setItem('lskey', 'SMARK-local'); var r = indexedDB.open('idbname', 1);"
                          "r.onupgradeneeded = function(e) { e.target.result.createObjectStore('s'); };"
                          "r.onsuccess = function(e) { var t = e.target.result.transaction('s', 'readwrite');"
                          "t.objectStore('s').put('SMARK-idb', 'k'); };"
                        : "";
                body = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><link rel=\"icon\" type=\"image/png\" "
                       "href=\"/icon.png\"><title>QMARK-title</title></head><body><script>document.cookie = "
                       "\"script=CMARK-script; max-age=86400; path=/\";" + store + "</script><p>page</p></body></html>";
            }
            headers += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
            const QByteArray reply = headers + body;
            qsizetype sent = 0;
            while (sent < reply.size()) {
                const ssize_t n = ::write(c, reply.constData() + sent, size_t(reply.size() - sent));
                if (n <= 0)
                    break;
                sent += n;
            }
            ::close(c);
        }
    }

    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    QStringList m_requests;
};

// Firefox's remote protocol: "length:json" messages over TCP.
class Marionette
{
public:
    ~Marionette()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    // Starts over on a fresh connection.
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_buffer.clear();
    }
    bool connect(int port, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            addr.sin_port = htons(uint16_t(port));
            if (::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
                return read().isObject();  // the greeting
            ::close(m_fd);
            m_fd = -1;
            QThread::msleep(200);
        }
        return false;
    }
    // The reply's result, or an error text in `error`.
    QJsonValue send(const QString& command, const QJsonObject& params, QString* error)
    {
        const QByteArray body = QJsonDocument(QJsonArray{0, ++m_id, command, params}).toJson(QJsonDocument::Compact);
        const QByteArray message = QByteArray::number(body.size()) + ':' + body;
        if (::write(m_fd, message.constData(), size_t(message.size())) != message.size()) {
            *error = "cannot write";
            return {};
        }
        const QJsonDocument reply = read();
        const QJsonArray a = reply.array();
        if (a.size() < 4) {
            *error = "no reply to " + command;
            return {};
        }
        if (!a[2].isNull()) {
            *error = QString::fromUtf8(QJsonDocument(a[2].toObject()).toJson(QJsonDocument::Compact));
            return {};
        }
        return a[3];
    }

private:
    bool fill(qsizetype want)
    {
        while (m_buffer.size() < want) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 60000) <= 0)
                return false;
            char buf[65536];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                return false;
            m_buffer.append(buf, int(n));
        }
        return true;
    }
    QJsonDocument read()
    {
        while (!m_buffer.contains(':'))
            if (!fill(m_buffer.size() + 1))
                return {};
        const qsizetype colon = m_buffer.indexOf(':');
        const qsizetype length = m_buffer.left(colon).toLongLong();
        if (!fill(colon + 1 + length))
            return {};
        const QJsonDocument doc = QJsonDocument::fromJson(m_buffer.mid(colon + 1, length));
        m_buffer.remove(0, colon + 1 + length);
        return doc;
    }

    int m_fd = -1;
    int m_id = 0;
    QByteArray m_buffer;
};

QString readLink(const QString& path)
{
    char buf[256] = {};
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buf, sizeof buf - 1);
    return n > 0 ? QString::fromLocal8Bit(buf, int(n)) : QString();
}

QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

// The files below `folders` in which `needle` can be read.
QStringList holding(const QStringList& folders, const QByteArray& needle)
{
    QStringList found;
    for (const QString& folder : folders)
        for (const QString& file : filesBelow(folder))
            if (TempTree::read(file).contains(needle))
                found << file;
    return found;
}

class RealFirefox : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to make a throwaway user for Firefox";
        if (!QFileInfo(m_browser).isExecutable())
            GTEST_SKIP() << m_browser.toStdString() << " is not installed (scripts/setup installs it)";
        m_runuser = QStandardPaths::findExecutable("runuser", {"/usr/sbin", "/sbin", "/usr/bin"});
        const QString useradd = QStandardPaths::findExecutable("useradd", {"/usr/sbin", "/sbin"});
        if (m_runuser.isEmpty() || useradd.isEmpty())
            GTEST_SKIP() << "runuser or useradd is missing";
        m_name = QStringLiteral("tvff%1").arg(::getpid());
        if (m_browser != kFirefox)
            m_name = QStringLiteral("tvcr%1").arg(::getpid());
        QProcess add;
        add.start(useradd, {"--create-home", "--shell", "/bin/bash", "--user-group", m_name});
        ASSERT_TRUE(add.waitForFinished(30000));
        ASSERT_EQ(add.exitCode(), 0) << add.readAllStandardError().toStdString();
        m_created = true;
        const passwd* pw = ::getpwnam(m_name.toLocal8Bit().constData());
        ASSERT_NE(pw, nullptr);
        m_user = {pw->pw_uid, pw->pw_gid, QString::fromLocal8Bit(pw->pw_dir), {}};
        // The desktop entry Debian's package installs, as the screen finds it.
        m_apps.file("applications/firefox-esr.desktop",
                    "[Desktop Entry]\nType=Application\nName=Firefox ESR\nIcon=firefox-esr\n"
                    "Exec=/usr/lib/firefox-esr/firefox-esr %u\n");
        ASSERT_GT(m_server.port(), 0);
    }

    void TearDown() override
    {
        if (!m_created)
            return;
        // Everything still running as the user was started by this test.
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            const QList<pid_t> left = processesOfUser();
            if (left.isEmpty())
                break;
            for (pid_t pid : left)
                ::kill(pid, SIGKILL);
            QThread::msleep(200);
        }
        QProcess del;
        del.start(QStandardPaths::findExecutable("userdel", {"/usr/sbin", "/sbin"}), {"--remove", m_name});
        del.waitForFinished(30000);
        EXPECT_EQ(del.exitCode(), 0) << del.readAllStandardError().toStdString();
    }

    QList<pid_t> processesOfUser() const
    {
        QList<pid_t> pids;
        for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            bool ok = false;
            const pid_t pid = pid_t(entry.toInt(&ok));
            if (!ok)
                continue;
            // The real uid: a process that is not dumpable (Firefox's
            // content processes) has its /proc folder owned by root.
            QFile status("/proc/" + entry + "/status");
            if (!status.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("Uid:") && line.mid(4).simplified().split(' ').value(0).toUInt() == m_user.uid)
                    pids << pid;
        }
        return pids;
    }

    // Firefox as the user, headless, with the user's home and nothing else
    // of ours in its environment.
    void startFirefox(QProcess& p, const QStringList& args, const QString& program = kFirefox)
    {
        p.setProgram(m_runuser);
        p.setArguments(QStringList{"-u", m_name, "--", "/usr/bin/env", "-i", "HOME=" + m_user.home,
                                   "PATH=/usr/bin:/bin", "MOZ_CRASHREPORTER_DISABLE=1", program, "--headless"}
                       + args);
        p.setWorkingDirectory(m_user.home);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start();
    }
    // Runs Firefox to its end; its exit status, -1 when it had to be stopped.
    int runFirefox(const QStringList& args, const QString& program = kFirefox)
    {
        QProcess p;
        startFirefox(p, args, program);
        if (!p.waitForFinished(kFirefoxTimeoutMs)) {
            ADD_FAILURE() << "firefox did not end: " << args.join(' ').toStdString();
            return -1;
        }
        m_firefoxLog += p.readAll();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QString configRoot() const { return m_user.home + "/.config/mozilla/firefox"; }
    // The profile the installed build starts with, as profiles.ini says.
    QString installedProfile(const QString& root) const
    {
        const QStringList lines = QString::fromUtf8(TempTree::read(root + "/profiles.ini")).split('\n');
        bool inInstall = false;
        for (const QString& raw : lines) {
            const QString line = raw.trimmed();
            if (line.startsWith('['))
                inInstall = line.startsWith("[Install");
            else if (inInstall && line.startsWith("Default="))
                return root + '/' + line.mid(8);
        }
        return {};
    }
    QString cacheOf(const QString& profile) const
    {
        return m_user.home + "/.cache/mozilla/firefox/" + QFileInfo(profile).fileName();
    }

    std::unique_ptr<InternetViewController> screen(int closeTimeoutMs = 15000)
    {
        InternetViewController::Environment env;
        env.user = m_user;
        env.applicationRoots = {m_apps / "applications"};
        env.eraserHistoryPath = QStringLiteral(TV_SOURCE_DIR "/resources/share/EraserHistory.plist");
        env.closeTimeoutMs = closeTimeoutMs;
        env.askToClose = [](const QStringList&) { return true; };
        auto page = std::make_unique<InternetViewController>(env);
        page->resize(730, 580);
        page->show();
        return page;
    }
    static void scan(InternetViewController& page)
    {
        QSignalSpy done(&page, &InternetViewController::scanFinished);
        page.checkOpenBrower();
        ASSERT_TRUE(done.count() == 1 || done.wait(60000));
    }
    static void clean(InternetViewController& page)
    {
        QSignalSpy done(&page, &InternetViewController::cleanFinished);
        page.cleanButtonAction();
        ASSERT_TRUE(done.count() == 1 || done.wait(60000));
    }
    static BrowerObjPtr firefoxRow(const InternetViewController& page)
    {
        for (const BrowerObjPtr& b : page.browserArr())
            if (b->name == "Firefox ESR")
                return b;
        return nullptr;
    }
    // As the user, so that no file SQLite makes beside a database is root's.
    QString asUser(const QString& db, const QString& sql) const
    {
        platform::FileSystemUser as(m_user.uid, m_user.gid);
        return text(db, sql);
    }

    // The browser the test needs installed.
    QString m_browser = kFirefox;
    QString m_runuser;
    QString m_name;
    bool m_created = false;
    BrowserUser m_user;
    TempTree m_apps;
    PageServer m_server;
    QByteArray m_firefoxLog;
};

const QList<QByteArray> kVisited{"QMARK-first", "QMARK-icon", "QMARK-cookie", "CMARK-server", "CMARK-script",
                                 "QMARK-store"};
// What the site stored for itself, where the profile keeps it (the cache
// holds the page that stored them).
const QList<QByteArray> kStored{"SMARK-local", "SMARK-idb"};
const QList<QByteArray> kVisitedLater{"QMARK-again", "QMARK-title"};

}  // namespace

TEST_F(RealFirefox, AProfileFirefoxMadeAndQuitIsCleanedOfEveryVisitAndStartsAgain)
{
    // Firefox makes its own profile for the new user, visiting a page.
    ASSERT_EQ(runFirefox({"--screenshot", m_user.home + "/first.png", m_server.url("/first.html?q=QMARK-first")}), 0)
        << m_firefoxLog.toStdString();
    ASSERT_FALSE(QFileInfo::exists(m_user.home + "/.mozilla/firefox"));
    const QString profile = installedProfile(configRoot());
    ASSERT_TRUE(QFileInfo(profile).isDir()) << TempTree::read(configRoot() + "/profiles.ini").toStdString();
    const QString cache = cacheOf(profile);

    // Then it is driven through its remote protocol: a page with an icon, a
    // page setting cookies, a bookmark; and asked to quit as a user would.
    int port = 0;
    const int probe = listenOn(0, &port);
    ::close(probe);
    QFile userJs(profile + "/user.js");
    ASSERT_TRUE(userJs.open(QIODevice::WriteOnly));
    userJs.write(QStringLiteral("user_pref(\"marionette.port\", %1);\n").arg(port).toUtf8());
    userJs.close();
    ASSERT_EQ(::chown(QFile::encodeName(userJs.fileName()).constData(), m_user.uid, m_user.gid), 0);
    {
        QProcess driven;
        startFirefox(driven, {"--marionette", "-remote-allow-system-access"});
        Marionette m;
        QString error;
        // A busy machine may take the first connection before the protocol
        // is ready for it, closing it unanswered: tried again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            m.reset();
            ASSERT_TRUE(m.connect(port, 60000));
            error.clear();
            m.send("WebDriver:NewSession", {{"capabilities", QJsonObject()}}, &error);
            if (error.isEmpty() || !error.startsWith("no reply"))
                break;
            QThread::msleep(1000);
        }
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        // Icons are stored a while after the page has loaded, and not when
        // it is left before.
        QElapsedTimer wait;
        for (const char* page : {"/icon.html?q=QMARK-icon", "/cookie.html?q=QMARK-cookie"}) {
            m.send("WebDriver:Navigate", {{"url", m_server.url(page)}}, &error);
            ASSERT_TRUE(error.isEmpty()) << error.toStdString();
            const QByteArray mark = QByteArray(page).split('=').value(1);
            wait.start();
            while (wait.elapsed() < 30000 && holding({profile}, mark).filter("favicons.sqlite").isEmpty())
                QThread::msleep(300);
        }
        // The site's own storage is written a while after the page has run.
        m.send("WebDriver:Navigate", {{"url", m_server.url("/store.html?q=QMARK-store")}}, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        wait.start();
        while (wait.elapsed() < 30000
               && (holding({profile + "/storage"}, "SMARK-local").isEmpty() || holding({profile + "/storage"}, "SMARK-idb").isEmpty()))
            QThread::msleep(300);
        m.send("Marionette:SetContext", {{"value", "chrome"}}, &error);
        const QJsonValue guid = m.send(
            "WebDriver:ExecuteScript",
            {{"script", "return PlacesUtils.bookmarks.insert({parentGuid: PlacesUtils.bookmarks.toolbarGuid, "
                        "url: 'https://kept-bookmark.example/', title: 'Kept bookmark'}).then(b => b.guid);"},
             {"args", QJsonArray()}},
            &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        ASSERT_FALSE(guid.toObject().value("value").toString().isEmpty());
        m.send("Marionette:Quit", {{"flags", QJsonArray{"eAttemptQuit"}}}, &error);
        ASSERT_TRUE(driven.waitForFinished(kFirefoxTimeoutMs));
        m_firefoxLog += driven.readAll();
        ASSERT_EQ(driven.exitCode(), 0) << m_firefoxLog.toStdString();
    }
    QFile::remove(profile + "/user.js");
    EXPECT_TRUE(m_server.requests().contains("/icon.png"));

    // What the visits left, where the clean must reach it.
    const QStringList where{profile, cache};
    EXPECT_FALSE(holding({profile}, "QMARK-icon").filter("favicons.sqlite").isEmpty());
    for (const QByteArray& mark : kVisited)
        ASSERT_FALSE(holding(where, mark).isEmpty()) << mark.toStdString();
    for (const QByteArray& mark : kStored)
        ASSERT_FALSE(holding({profile + "/storage"}, mark).isEmpty()) << mark.toStdString();
    // A normal quit leaves its lock link behind.
    ASSERT_TRUE(QFileInfo(profile + "/lock").isSymLink());

    // A Firefox that will not quit: the profile is left as it is, and the
    // end view says so.
    {
        QProcess running;
        startFirefox(running, {m_server.url("/running.html")});
        pid_t main = 0;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 60000 && main == 0) {
            const QList<pid_t> found = RunningBrowsers::find(m_user.uid, {"firefox-esr"});
            // Up once its lock link names it.
            if (found.size() == 1 && readLink(profile + "/lock").endsWith(QStringLiteral("+%1").arg(found[0])))
                main = found[0];
            QThread::msleep(200);
        }
        ASSERT_NE(main, 0);
        ::kill(main, SIGSTOP);
        const auto page = screen(3000);
        scan(*page);
        ASSERT_TRUE(firefoxRow(*page));
        clean(*page);
        EXPECT_NE(page->findChild<QLabel*>("cleanEndTitle")->text(), "Cleaning complete");
        EXPECT_TRUE(page->cleanEndNote()->text().contains("did not quit")) << page->cleanEndNote()->text().toStdString();
        for (const QByteArray& mark : kVisited)
            EXPECT_FALSE(holding(where, mark).isEmpty()) << mark.toStdString();
        // Stopped, it never took the request to quit: it is ended here (every
        // process of the user is this test's), then started and quit normally.
        clock.restart();
        while (clock.elapsed() < 30000 && !processesOfUser().isEmpty()) {
            for (pid_t pid : processesOfUser())
                ::kill(pid, SIGKILL);
            QThread::msleep(200);
        }
        // runuser, ours too, may outlive the Firefox it started.
        if (!running.waitForFinished(10000)) {
            running.kill();
            running.waitForFinished(10000);
        }
    }
    ASSERT_EQ(runFirefox({"--screenshot", m_user.home + "/again.png", m_server.url("/again.html?q=QMARK-again")}), 0)
        << m_firefoxLog.toStdString();

    // Closed: cleaned through the screen, the stale lock link in place.
    ASSERT_TRUE(QFileInfo(profile + "/lock").isSymLink());
    {
        const auto page = screen();
        scan(*page);
        const BrowerObjPtr firefox = firefoxRow(*page);
        ASSERT_TRUE(firefox);
        for (const BrowerObjPtr& c : firefox->chrArr)
            EXPECT_NE(c->size, "No profile") << c->name.toStdString();
        // Nothing was ever saved: unticked, as a user would.
        const int row = int(firefox->chrArr.indexOf(*std::find_if(firefox->chrArr.begin(), firefox->chrArr.end(),
                                                                   [](const BrowerObjPtr& c) { return c->name == "Save Password"; })));
        page->rightTableView()->setClickedRow(row);
        page->selectBrower(page->rightTableView());
        EXPECT_EQ(firefox->isSelect, 2);
        clean(*page);
        for (const BrowerObjPtr& c : firefox->chrArr) {
            if (c->name != "Save Password") {
                EXPECT_EQ(c->outcome, BrowerObj::Outcome::Cleaned) << c->name.toStdString() << ": " << c->failReason.toStdString();
            }
        }
        EXPECT_EQ(page->findChild<QLabel*>("cleanEndTitle")->text(), "Cleaning complete")
            << page->cleanEndNote()->text().toStdString();
    }
    const QByteArray origin = QStringLiteral("127.0.0.1:%1/").arg(m_server.port()).toUtf8();
    for (const QByteArray& mark : kVisited + kVisitedLater + QList<QByteArray>{origin + "icon.html", origin + "cookie.html"})
        EXPECT_EQ(holding(where, mark), QStringList()) << mark.toStdString();
    for (const QByteArray& mark : kStored)
        EXPECT_EQ(holding(where, mark), QStringList()) << mark.toStdString();
    EXPECT_EQ(asUser(profile + "/places.sqlite",
                     "SELECT b.title FROM moz_bookmarks b JOIN moz_places p ON p.id = b.fk "
                     "WHERE p.url = 'https://kept-bookmark.example/'"),
              "Kept bookmark");
    for (const QString& file : filesBelow(profile)) {
        if (file.endsWith(".sqlite")) {
            EXPECT_EQ(asUser(file, "PRAGMA integrity_check"), "ok") << file.toStdString();
        }
    }
    for (const QString& file : filesBelow(profile) + filesBelow(cache)) {
        struct stat st{};
        EXPECT_EQ(::lstat(QFile::encodeName(file).constData(), &st), 0);
        EXPECT_EQ(st.st_uid, m_user.uid) << file.toStdString();
    }

    // Firefox starts again on what is left, and quits cleanly.
    EXPECT_EQ(runFirefox({"--screenshot", m_user.home + "/after.png", m_server.url("/after.html?q=QMARK-after")}), 0)
        << m_firefoxLog.toStdString();
    ASSERT_FALSE(holding({profile}, "QMARK-after").isEmpty());

    // The same profile where a user who had ~/.mozilla/firefox keeps it.
    ASSERT_TRUE(QDir().mkpath(m_user.home + "/.mozilla"));
    ASSERT_EQ(::chown(QFile::encodeName(m_user.home + "/.mozilla").constData(), m_user.uid, m_user.gid), 0);
    ASSERT_TRUE(QDir().rename(configRoot(), m_user.home + "/.mozilla/firefox"));
    const QString moved = m_user.home + "/.mozilla/firefox/" + QFileInfo(profile).fileName();
    {
        const auto page = screen();
        scan(*page);
        clean(*page);
        // No passwords and no session to clean here: said, not failed.
        EXPECT_EQ(page->findChild<QLabel*>("cleanEndTitle")->text(), "Some data was not found")
            << page->cleanEndNote()->text().toStdString();
        for (const BrowerObjPtr& c : firefoxRow(*page)->chrArr) {
            if (c->name == "Browsing History" || c->name == "Cookies" || c->name == "Caches") {
                EXPECT_EQ(c->outcome, BrowerObj::Outcome::Cleaned) << c->name.toStdString();
            }
        }
    }
    EXPECT_EQ(holding({moved, cache}, "QMARK-after"), QStringList());
    EXPECT_EQ(asUser(moved + "/places.sqlite", "SELECT count(*) FROM moz_bookmarks WHERE title = 'Kept bookmark'"), "1");

    // profiles.ini naming a profile that is gone, beside the older build's
    // ".default" folder Firefox made too: no profile, nothing touched.
    const QString root = m_user.home + "/.mozilla/firefox";
    QString legacy;
    for (const QString& entry : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (entry.endsWith(".default"))
            legacy = root + '/' + entry;
    if (legacy.isEmpty()) {
        legacy = root + "/zzzz.default";
        QDir().mkpath(legacy);
    }
    const QString keep = legacy + "/places.sqlite";
    QFile keepFile(keep);
    ASSERT_TRUE(keepFile.open(QIODevice::WriteOnly));
    keepFile.write("QMARK-legacy");
    keepFile.close();
    QString ini = QString::fromUtf8(TempTree::read(root + "/profiles.ini"));
    ini.replace("Default=" + QFileInfo(profile).fileName(), "Default=gone.default-esr");
    QFile iniFile(root + "/profiles.ini");
    ASSERT_TRUE(iniFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    iniFile.write(ini.toUtf8());
    iniFile.close();
    const QByteArray placesBefore = TempTree::read(moved + "/places.sqlite");
    {
        const auto page = screen();
        scan(*page);
        const BrowerObjPtr firefox = firefoxRow(*page);
        ASSERT_TRUE(firefox);
        for (const BrowerObjPtr& c : firefox->chrArr)
            EXPECT_EQ(c->size, "No profile") << c->name.toStdString();
        clean(*page);
        EXPECT_NE(page->findChild<QLabel*>("cleanEndTitle")->text(), "Cleaning complete");
        EXPECT_TRUE(page->cleanEndNote()->text().contains("no profile")) << page->cleanEndNote()->text().toStdString();
    }
    EXPECT_EQ(TempTree::read(keep), "QMARK-legacy");
    EXPECT_EQ(TempTree::read(moved + "/places.sqlite"), placesBefore);
}

namespace {

// Every file below `folders` with its bytes.
QMap<QString, QByteArray> snapshot(const QStringList& folders)
{
    QMap<QString, QByteArray> files;
    for (const QString& folder : folders)
        for (const QString& file : filesBelow(folder))
            files.insert(file, TempTree::read(file));
    return files;
}

}  // namespace

TEST_F(RealFirefox, EachInstallationsRowCleansItsOwnProfileAndLeavesTheOther)
{
    // A second installation: Debian's copied into the user's home, as one
    // unpacked there would be; and a third that never ran.
    const QString copy = m_user.home + "/opt/firefox";
    const QString unused = m_user.home + "/opt/firefox-unused";
    for (const QString& to : {copy, unused}) {
        QDir().mkpath(QFileInfo(to).path());
        QProcess cp;
        // Hard links where the file system allows: the same files, their
        // own folder.
        cp.start("/bin/cp", {"-al", "/usr/lib/firefox-esr", to});
        ASSERT_TRUE(cp.waitForFinished(120000));
        if (cp.exitCode() != 0) {
            QDir(to).removeRecursively();
            cp.start("/bin/cp", {"-a", "/usr/lib/firefox-esr", to});
            ASSERT_TRUE(cp.waitForFinished(300000));
            ASSERT_EQ(cp.exitCode(), 0) << cp.readAllStandardError().toStdString();
        }
    }
    ::chmod(QFile::encodeName(m_user.home).constData(), 0755);
    m_apps.file("applications/firefox-copy.desktop",
                QStringLiteral("[Desktop Entry]\nType=Application\nName=Firefox Copy\nExec=%1/firefox-esr %u\n")
                    .arg(copy).toUtf8());
    m_apps.file("applications/firefox-unused.desktop",
                QStringLiteral("[Desktop Entry]\nType=Application\nName=Firefox Unused\nExec=%1/firefox-esr %u\n")
                    .arg(unused).toUtf8());

    // Each started once: each writes its own section and profile.
    ASSERT_EQ(runFirefox({"--screenshot", m_user.home + "/a.png", m_server.url("/debian.html?q=QMARK-debian")}), 0)
        << m_firefoxLog.toStdString();
    const QString debian = installedProfile(configRoot());
    ASSERT_TRUE(QFileInfo(debian).isDir());
    ASSERT_EQ(runFirefox({"--screenshot", m_user.home + "/b.png", m_server.url("/copy.html?q=QMARK-copy")},
                         copy + "/firefox-esr"),
              0)
        << m_firefoxLog.toStdString();
    // The copy's profile: the one another installation's section names (a
    // profile section's "Default=1" is no path).
    QString copied;
    bool inInstall = false;
    for (const QString& line : QString::fromUtf8(TempTree::read(configRoot() + "/profiles.ini")).split('\n')) {
        if (line.startsWith('['))
            inInstall = line.startsWith("[Install");
        else if (inInstall && line.startsWith("Default=") && configRoot() + '/' + line.mid(8) != debian)
            copied = configRoot() + '/' + line.mid(8);
    }
    ASSERT_TRUE(QFileInfo(copied).isDir()) << TempTree::read(configRoot() + "/profiles.ini").toStdString();
    ASSERT_FALSE(holding({debian}, "QMARK-debian").isEmpty());
    ASSERT_FALSE(holding({copied}, "QMARK-copy").isEmpty());

    const auto cleanOnly = [&](const QString& row) {
        const auto page = screen();
        scan(*page);
        ASSERT_EQ(page->browserArr().size(), 3);
        for (const BrowerObjPtr& b : page->browserArr()) {
            if (b->name == "Firefox Unused") {
                for (const BrowerObjPtr& c : b->chrArr)
                    EXPECT_EQ(c->size, "No profile") << c->name.toStdString();
            } else {
                for (const BrowerObjPtr& c : b->chrArr)
                    EXPECT_NE(c->size, "No profile") << b->name.toStdString() << " " << c->name.toStdString();
            }
            if (b->name != row) {
                page->leftTableView()->setClickedRow(int(page->browserArr().indexOf(b)));
                page->selectBrower(page->leftTableView());
                ASSERT_EQ(b->isSelect, 0);
            }
        }
        clean(*page);
        const QString note = page->cleanEndNote()->text();
        EXPECT_FALSE(note.contains("Firefox Unused")) << note.toStdString();
    };

    const QStringList copyFiles{copied, cacheOf(copied)};
    const auto copyBefore = snapshot(copyFiles);
    cleanOnly("Firefox ESR");
    EXPECT_EQ(holding({debian, cacheOf(debian)}, "QMARK-debian"), QStringList());
    EXPECT_TRUE(snapshot(copyFiles) == copyBefore);
    EXPECT_FALSE(holding({copied}, "QMARK-copy").isEmpty());

    const QStringList debianFiles{debian, cacheOf(debian)};
    const auto debianBefore = snapshot(debianFiles);
    cleanOnly("Firefox Copy");
    EXPECT_EQ(holding(copyFiles, "QMARK-copy"), QStringList());
    EXPECT_TRUE(snapshot(debianFiles) == debianBefore);
}

namespace {

const QString kChromium = QStringLiteral("/usr/bin/chromium");

// The same throwaway user, for Chromium: its profile made where Google
// Chrome keeps its own (Chrome's files are in the same format).
class RealChromium : public RealFirefox
{
protected:
    RealChromium() { m_browser = kChromium; }

    // Chromium as the user, headless, on the Chrome profile folder; it
    // prints the page once the page's script had `budgetMs` to run.
    int runChromium(const QString& url, QByteArray* dom = nullptr)
    {
        // Its single-instance socket goes in a folder of the user's own.
        const QString tmp = m_user.home + "/tmp";
        if (!QFileInfo(tmp).isDir()) {
            QDir().mkpath(tmp);
            ::chown(QFile::encodeName(tmp).constData(), m_user.uid, m_user.gid);
        }
        QProcess p;
        p.setProgram(m_runuser);
        p.setArguments({"-u", m_name, "--", "/usr/bin/env", "-i", "HOME=" + m_user.home, "PATH=/usr/bin:/bin", "TMPDIR=" + tmp,
                        kChromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                        "--user-data-dir=" + m_user.home + "/.config/google-chrome", "--virtual-time-budget=5000",
                        "--dump-dom", url});
        p.setWorkingDirectory(m_user.home);
        p.start();
        if (!p.waitForFinished(kFirefoxTimeoutMs)) {
            ADD_FAILURE() << "chromium did not end: " << url.toStdString();
            p.kill();
            p.waitForFinished(10000);
            return -1;
        }
        if (dom)
            *dom = p.readAllStandardOutput();
        m_firefoxLog += p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

}  // namespace

TEST_F(RealChromium, AProfileChromiumMadeIsCleanedOfEveryVisitAndStoredValueAndStartsAgain)
{
    const QString config = m_user.home + "/.config/google-chrome";
    const QString profile = config + "/Default";
    const QString cache = m_user.home + "/.cache/google-chrome";
    // The bookmark, in the file Chrome keeps them in, before its first start.
    QDir().mkpath(profile);
    QFile bookmarks(profile + "/Bookmarks");
    ASSERT_TRUE(bookmarks.open(QIODevice::WriteOnly));
    bookmarks.write(R"({"roots":{"bookmark_bar":{"children":[{"id":"5","name":"Kept bookmark","type":"url",)"
                    R"("url":"https://kept-bookmark.example/","date_added":"13300000000000000"}],)"
                    R"("id":"1","name":"Bookmarks bar","type":"folder","date_added":"13300000000000000"},)"
                    R"("other":{"children":[],"id":"2","name":"Other bookmarks","type":"folder"},)"
                    R"("synced":{"children":[],"id":"3","name":"Mobile bookmarks","type":"folder"}},"version":1})");
    bookmarks.close();
    for (const QString& p : {m_user.home + "/.config", config, profile, profile + "/Bookmarks"})
        ASSERT_EQ(::chown(QFile::encodeName(p).constData(), m_user.uid, m_user.gid), 0);

    // Pages setting a cookie by header and one by script, local storage and
    // IndexedDB, visited with query strings.
    for (const char* page : {"/cookie.html?q=QMARK-cookie", "/store.html?q=QMARK-store", "/first.html?q=QMARK-first"}) {
        QByteArray dom;
        ASSERT_EQ(runChromium(m_server.url(page), &dom), 0) << m_firefoxLog.right(3000).toStdString();
        ASSERT_TRUE(dom.contains("page")) << dom.toStdString();
    }
    const QStringList where{config, cache};
    for (const QByteArray& mark : QList<QByteArray>{"QMARK-cookie", "QMARK-store", "QMARK-first", "SMARK-local"})
        ASSERT_FALSE(holding({config}, mark).isEmpty()) << mark.toStdString();
    ASSERT_TRUE(QFileInfo(cache).isDir());

    {
        m_apps.file("applications/google-chrome.desktop",
                    "[Desktop Entry]\nType=Application\nName=Google Chrome\nExec=/usr/bin/google-chrome-stable %U\n");
        const auto page = screen();
        scan(*page);
        BrowerObjPtr chrome;
        for (const BrowerObjPtr& b : page->browserArr())
            if (b->name == "Google Chrome")
                chrome = b;
        ASSERT_TRUE(chrome);
        clean(*page);
        for (const BrowerObjPtr& c : chrome->chrArr)
            EXPECT_NE(c->outcome, BrowerObj::Outcome::Failed) << c->name.toStdString() << ": " << c->failReason.toStdString();
    }
    const QByteArray origin = QStringLiteral("127.0.0.1:%1/").arg(m_server.port()).toUtf8();
    for (const QByteArray& mark : QList<QByteArray>{"QMARK-cookie", "QMARK-store", "QMARK-first", "CMARK-server",
                                                    "CMARK-script", "SMARK-local", "SMARK-idb", origin + "store.html",
                                                    origin + "first.html"})
        EXPECT_EQ(holding(where, mark), QStringList()) << mark.toStdString();
    EXPECT_TRUE(TempTree::read(profile + "/Bookmarks").contains("https://kept-bookmark.example/"));
    for (const QString& file : filesBelow(config)) {
        if (TempTree::read(file).startsWith("SQLite format 3")) {
            EXPECT_EQ(asUser(file, "PRAGMA integrity_check"), "ok") << file.toStdString();
        }
    }
    // Chromium starts again on what is left, the bookmark still there.
    QByteArray dom;
    EXPECT_EQ(runChromium(m_server.url("/after.html?q=QMARK-after"), &dom), 0);
    EXPECT_TRUE(dom.contains("page"));
    EXPECT_TRUE(TempTree::read(profile + "/Bookmarks").contains("https://kept-bookmark.example/"));
}
