#include "About/UpdateCheck.h"
#include "About/UpdateViewController.h"
#include "TempTree.h"
#include "platform/PlistFile.h"
#include "platform/SettingsFile.h"

#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Page = UpdateViewController::Page;

// Answers every request with `body` after `delayMs`.
class SlowServer : public QObject
{
public:
    SlowServer(QByteArray body, int delayMs) : m_body(std::move(body)), m_delayMs(delayMs)
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* s = m_server.nextPendingConnection();
            ++requests;
            QTimer::singleShot(m_delayMs, s, [this, s] {
                s->write("HTTP/1.0 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
                         QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body);
                s->disconnectFromHost();
            });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/update.plist").arg(m_server.serverPort()); }
    int requests = 0;

private:
    QTcpServer m_server;
    QByteArray m_body;
    int m_delayMs;
};

// Answers every request with `response` as it stands (status line, headers
// and body); with `answer` false it reads the request and never answers.
class RawServer : public QObject
{
public:
    explicit RawServer(QByteArray response, bool answer = true) : m_response(std::move(response))
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this, answer] {
            QTcpSocket* s = m_server.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, answer] {
                s->readAll();
                if (!answer)
                    return;
                s->write(m_response);
                s->disconnectFromHost();
            });
        });
    }
    static QByteArray http(const QByteArray& status, const QByteArray& type, const QByteArray& body)
    {
        return "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/update.plist").arg(m_server.serverPort()); }
    void close() { m_server.close(); }

private:
    QTcpServer m_server;
    QByteArray m_response;
};

class UpdateCheckTest : public ::testing::Test
{
protected:
    UpdateCheckTest()
    {
        UpdateCheck::setNetworkProbe([] { return true; });
        platform::SettingsFile::shared().setValue("VersionCheck", 120);
    }
    ~UpdateCheckTest() override { UpdateCheck::setNetworkProbe({}); }

    void serveFile(const QVariantMap& list) { serveBytes(platform::plist::toXml(list)); }
    void serveBytes(const QByteArray& bytes)
    {
        const QString path = tree.file("update.plist", bytes);
        setIniUrl(QUrl::fromLocalFile(path).toString());
    }
    void setIniUrl(const QString& url)
    {
        QVariantMap links = platform::SettingsFile::shared().value("Link").toMap();
        links["IniURL"] = url;
        platform::SettingsFile::shared().setValue("Link", links);
    }
    Page runCheck(UpdateViewController& dialog)
    {
        (void)QTest::qWaitFor([&] { return dialog.currentPage() != Page::Checking; }, 15000);
        return dialog.currentPage();
    }
    Page check()
    {
        UpdateViewController dialog;
        return runCheck(dialog);
    }

    ScopedLayout layout;
    TempTree tree;
};

TEST_F(UpdateCheckTest, ComparesBuildNumbersAsIntegersOrTexts)
{
    serveFile({{"VersionCheck", 120}, {"Version", "1.2"}});
    EXPECT_EQ(check(), Page::NoUpdate) << "equal";
    serveFile({{"VersionCheck", 119}, {"Version", "1.1"}});
    EXPECT_EQ(check(), Page::NoUpdate) << "older";
    serveFile({{"VersionCheck", 121}, {"Version", "1.3"}});
    EXPECT_EQ(check(), Page::NewVersion) << "newer";
    serveFile({{"VersionCheck", " 121 "}, {"Version", "1.3"}});
    EXPECT_EQ(check(), Page::NewVersion) << "a text holding the number";
}

// Only a list that was read and names no newer build is "up to date"; every
// other answer says the check could not be made, and why. The server is the
// list's own, on this machine: the default probe lets it answer.
TEST_F(UpdateCheckTest, AnAnswerThatIsNoListSaysTheCheckCouldNotBeMadeAndWhy)
{
    UpdateCheck::setNetworkProbe({});
    const QByteArray plist = "application/xml";
    const auto sentence = [](const char* why) {
        return QStringLiteral("The check for updates could not be made: %1.").arg(QLatin1String(why));
    };
    struct Case
    {
        const char* what;
        QByteArray response;
        const char* why;
    };
    const QList<Case> cases{
        {"an HTML error page", RawServer::http("200 OK", "text/html", "<html><body>Service unavailable</body></html>"),
         "the update server's answer is not an update list"},
        {"a missing list", RawServer::http("404 Not Found", "text/html", "<html>not found</html>"),
         "the update server answered with HTTP error 404"},
        {"a server error", RawServer::http("500 Internal Server Error", "text/plain", "oops"),
         "the update server answered with HTTP error 500"},
        {"garbage", RawServer::http("200 OK", plist, QByteArray("\x01\x02garbage\xff", 11)),
         "the update server's answer is not an update list"},
        {"3 MiB", RawServer::http("200 OK", plist, QByteArray(3 << 20, 'x')),
         "the update server's answer is far larger than an update list"},
        {"no dictionary at the root", RawServer::http("200 OK", plist, platform::plist::toXml(QVariantList{121})),
         "the update server's answer is not an update list"},
        {"a list without a build number",
         RawServer::http("200 OK", plist, platform::plist::toXml(QVariantMap{{"Version", "9"}})),
         "the update list names no build number"},
        {"a build number holding no number",
         RawServer::http("200 OK", plist, platform::plist::toXml(QVariantMap{{"VersionCheck", "soon"}})),
         "the update list names no build number"},
    };
    for (const Case& c : cases) {
        RawServer server(c.response);
        setIniUrl(server.url());
        UpdateViewController dialog;
        EXPECT_EQ(runCheck(dialog), Page::NoNetwork) << c.what;
        EXPECT_EQ(dialog.findChild<QLabel*>("noNetworkLabel")->text(), sentence(c.why)) << c.what;
    }

    {
        RawServer down("");
        setIniUrl(down.url());
        down.close();
        UpdateViewController dialog;
        EXPECT_EQ(runCheck(dialog), Page::NoNetwork) << "server down";
        EXPECT_EQ(dialog.findChild<QLabel*>("noNetworkLabel")->text(),
                  sentence("the update server could not be reached"));
    }
    {
        RawServer silent("", false);
        setIniUrl(silent.url());
        UpdateViewController dialog;
        EXPECT_EQ(runCheck(dialog), Page::NoNetwork) << "no answer";
        EXPECT_EQ(dialog.findChild<QLabel*>("noNetworkLabel")->text(),
                  sentence("the update server did not answer within 10 seconds"));
    }
    setIniUrl("ftp://127.0.0.1/update.plist");
    EXPECT_EQ(check(), Page::NoNetwork) << "not a web address";

    // A reachable list server is asked, whatever other address is unreachable.
    RawServer good(RawServer::http("200 OK", plist, platform::plist::toXml(QVariantMap{{"VersionCheck", 120}})));
    setIniUrl(good.url());
    EXPECT_EQ(check(), Page::NoUpdate);
}

TEST_F(UpdateCheckTest, NoNetworkPage)
{
    UpdateCheck::setNetworkProbe([] { return false; });
    serveFile({{"VersionCheck", 121}});
    EXPECT_EQ(check(), Page::NoNetwork);
}

TEST_F(UpdateCheckTest, NewVersionPageListsWhatIsNewAsPlainText)
{
    serveFile({{"VersionCheck", 121},
               {"Version", "2.0"},
               {"1", "Faster wipes"},
               {"2", "<b>Bold</b> claims"},
               {"3", 42},
               {"4", QVariantMap{{"nested", "x"}}}});
    UpdateViewController dialog;
    ASSERT_EQ(runCheck(dialog), Page::NewVersion);
    EXPECT_EQ(dialog.findChild<QLabel*>("titleLable")->text(), "Tarnwick Vantoly 2.0 has been released.");
    EXPECT_EQ(dialog.findChild<QLabel*>("versionLabel")->text(), "New features of Version 2.0:");

    QWidget* doc = dialog.findChild<QWidget*>("showVersionScrollView");
    auto* area = dialog.findChild<QScrollArea*>("changeValueScrollView");
    // Everything fits: the document fills the view and no scroll bar shows.
    EXPECT_EQ(doc->size(), QSize(416, 160));
    EXPECT_EQ(area->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    auto* l1 = doc->findChild<QLabel*>("whatIsNewLine1");
    auto* l2 = doc->findChild<QLabel*>("whatIsNewLine2");
    auto* l3 = doc->findChild<QLabel*>("whatIsNewLine3");
    ASSERT_TRUE(l1 && l2 && l3);
    EXPECT_EQ(doc->findChild<QLabel*>("whatIsNewLine4"), nullptr) << "a dictionary is not a line";
    EXPECT_EQ(l1->text(), "1.Faster wipes");
    EXPECT_EQ(l2->text(), "2.<b>Bold</b> claims");
    EXPECT_EQ(l2->textFormat(), Qt::PlainText);
    EXPECT_EQ(l3->text(), "3.42");
    EXPECT_EQ(l1->geometry(), QRect(0, 0, 416, 25));
    EXPECT_EQ(l2->geometry(), QRect(0, 25, 416, 25));
    EXPECT_EQ(l3->geometry(), QRect(0, 50, 416, 25));
}

TEST_F(UpdateCheckTest, LongLinesWrapInsideTheViewAndTheScrollBarShowsOnlyThen)
{
    const QString longLine = QString("word ").repeated(200);
    serveFile({{"VersionCheck", 121}, {"Version", "2.0"}, {"1", longLine}, {"2", "short"}});
    UpdateViewController dialog;
    ASSERT_EQ(runCheck(dialog), Page::NewVersion);
    QWidget* doc = dialog.findChild<QWidget*>("showVersionScrollView");
    auto* area = dialog.findChild<QScrollArea*>("changeValueScrollView");
    auto* l1 = doc->findChild<QLabel*>("whatIsNewLine1");
    auto* l2 = doc->findChild<QLabel*>("whatIsNewLine2");
    ASSERT_TRUE(l1 && l2);
    EXPECT_EQ(area->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    const int viewWidth = area->width() - area->verticalScrollBar()->sizeHint().width();
    EXPECT_EQ(doc->width(), viewWidth) << "no row is wider than what the list shows";
    EXPECT_EQ(l1->width(), viewWidth);
    EXPECT_GE(l1->height(), l1->heightForWidth(l1->width())) << "the wrapped line is shown whole";
    EXPECT_GT(l1->height(), 160);
    EXPECT_EQ(l2->y(), l1->height());
    EXPECT_EQ(doc->height(), l1->height() + l2->height());
}

// The lines read at a contrast of at least 4.5:1 on the list's background.
TEST_F(UpdateCheckTest, WhatIsNewReadsOnTheDarkList)
{
    serveFile({{"VersionCheck", 121}, {"Version", "2.0"}, {"1", "Faster wipes"}});
    UpdateViewController dialog;
    dialog.resize(dialog.sizeHint());
    ASSERT_EQ(runCheck(dialog), Page::NewVersion);
    QWidget* doc = dialog.findChild<QWidget*>("showVersionScrollView");
    const QImage shot = doc->grab().toImage();
    const QColor back = shot.pixelColor(shot.width() / 2, shot.height() - 5);
    const QColor text = doc->findChild<QLabel*>("whatIsNewLine1")->palette().color(QPalette::WindowText);
    const auto luminance = [](const QColor& c) {
        const auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    const double contrast = (luminance(text) + 0.05) / (luminance(back) + 0.05);
    EXPECT_GE(contrast, 4.5) << back.name().toStdString();
}

TEST_F(UpdateCheckTest, DelayedHttpServer)
{
    SlowServer server(platform::plist::toXml(QVariantMap{{"VersionCheck", 130}, {"Version", "3.0"}}), 300);
    setIniUrl(server.url());
    EXPECT_EQ(check(), Page::NewVersion);
    EXPECT_EQ(server.requests, 1);
}

TEST_F(UpdateCheckTest, DialogClosedMidCheckIsNeverCalledBack)
{
    SlowServer server(platform::plist::toXml(QVariantMap{{"VersionCheck", 130}}), 400);
    setIniUrl(server.url());
    auto* dialog = new UpdateViewController;
    bool finished = false;
    QObject::connect(dialog, &UpdateViewController::checkFinished, [&] { finished = true; });
    QTRY_COMPARE_WITH_TIMEOUT(server.requests, 1, 5000);
    delete dialog;
    // Reopened while the first check still runs.
    UpdateViewController second;
    QTRY_VERIFY_WITH_TIMEOUT(second.currentPage() != Page::Checking, 15000);
    EXPECT_EQ(second.currentPage(), Page::NewVersion);
    QTest::qWait(300);
    EXPECT_FALSE(finished);
}

TEST(UpdateListValues, BuildNumbersAreClampedAndTextsReadTheirLeadingDigits)
{
    EXPECT_EQ(UpdateCheck::buildNumber(QVariant(qint64(1) << 40)), std::numeric_limits<int>::max());
    EXPECT_EQ(UpdateCheck::buildNumber(QVariant(-5)), -5);
    EXPECT_EQ(UpdateCheck::buildNumber(QVariant(true)), 0);
    EXPECT_EQ(UpdateCheck::buildNumber(QVariant(QVariantList{1})), 0);
    EXPECT_EQ(UpdateCheck::buildNumber(QVariant("12abc")), 12);
    EXPECT_EQ(UpdateCheck::buildNumber(QVariant("  -7x")), -7);
    EXPECT_EQ(UpdateCheck::buildNumber(QVariant("x12")), 0);
    EXPECT_EQ(UpdateCheck::buildNumber(QVariant("99999999999999999999")), std::numeric_limits<int>::max());
}

}  // namespace
