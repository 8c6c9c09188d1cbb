#include "About/UpdateCheck.h"
#include "About/UpdateViewController.h"
#include "TempTree.h"
#include "platform/PlistFile.h"
#include "platform/SettingsFile.h"

#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

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
    serveFile({{"VersionCheck", "soon"}, {"Version", "9"}});
    EXPECT_EQ(check(), Page::NoUpdate) << "a text holding no number";
    serveFile({{"Version", "9"}});
    EXPECT_EQ(check(), Page::NoUpdate) << "missing build number";
}

TEST_F(UpdateCheckTest, UnusableListsReadAsNoUpdate)
{
    serveBytes("<html>not found</html>");
    EXPECT_EQ(check(), Page::NoUpdate);
    serveBytes(platform::plist::toXml(QVariantList{121, "1.3"}));
    EXPECT_EQ(check(), Page::NoUpdate) << "no dictionary at the root";
    serveBytes(QByteArray(UpdateCheck::kMaxListBytes + 1, ' '));
    EXPECT_EQ(check(), Page::NoUpdate) << "over the size cap";
    setIniUrl("ftp://127.0.0.1/update.plist");
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
    EXPECT_EQ(doc->size(), QSize(416, 170));
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

TEST_F(UpdateCheckTest, LongLinesGrowTheirRowsAndTheDocument)
{
    const QString longLine = QString("word ").repeated(200);
    QFont f;
    f.setPixelSize(10);
    const int h = UpdateViewController::heightForStringDrawing(longLine, f, 200);
    ASSERT_GT(h, 170);
    serveFile({{"VersionCheck", 121}, {"Version", "2.0"}, {"1", longLine}, {"2", "short"}});
    UpdateViewController dialog;
    ASSERT_EQ(runCheck(dialog), Page::NewVersion);
    QWidget* doc = dialog.findChild<QWidget*>("showVersionScrollView");
    EXPECT_EQ(doc->height(), h + 30);
    EXPECT_EQ(doc->findChild<QLabel*>("whatIsNewLine2")->y(), h);
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
