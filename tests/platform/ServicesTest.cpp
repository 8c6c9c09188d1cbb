#include "platform/Background.h"
#include "platform/ExternalCommand.h"
#include "platform/InvokingUser.h"
#include "platform/NetworkProbe.h"
#include "platform/NotificationCenter.h"
#include "platform/StartUp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QFile>
#include <thread>

#include <atomic>
#include <memory>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

TEST(ExternalCommand, ArgumentsAreNeverInterpretedByAShell)
{
    const auto r = platform::runCommand("printf", {"%s|", "$(touch /tmp/tv-canary)", "a;b", "it's"});
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.output, QByteArray("$(touch /tmp/tv-canary)|a;b|it's|"));
    EXPECT_FALSE(QFile::exists("/tmp/tv-canary"));

    const auto failed = platform::runCommand("sh", {"-c", "echo oops >&2; exit 3"});
    EXPECT_TRUE(failed.started);
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_EQ(failed.errors, QByteArray("oops\n"));

    EXPECT_FALSE(platform::runCommand("/nonexistent/tool", {}).started);

    const auto withEnv = platform::runCommand("sh", {"-c", "printf %s \"$TV_PROBE\""}, -1, {}, {"TV_PROBE=a b=c"});
    EXPECT_EQ(withEnv.output, QByteArray("a b=c"));

    const auto slow = platform::runCommand("sleep", {"10"}, 200);
    EXPECT_TRUE(slow.timedOut);
    EXPECT_FALSE(slow.ok());
}

TEST(InvokingUser, PkexecThenSudoThenRealUid)
{
    qunsetenv("PKEXEC_UID");
    qunsetenv("SUDO_UID");
    EXPECT_EQ(platform::invokingUser().uid, ::getuid());
    qputenv("SUDO_UID", "0");
    EXPECT_EQ(platform::invokingUser().uid, 0u);
    EXPECT_EQ(platform::invokingUser().name, "root");
    qputenv("PKEXEC_UID", "garbage");
    EXPECT_EQ(platform::invokingUser().uid, 0u);  // unreadable: falls through to SUDO_UID
    qunsetenv("PKEXEC_UID");
    qunsetenv("SUDO_UID");
    EXPECT_FALSE(platform::rootHome().isEmpty());
    EXPECT_FALSE(platform::userNamed("no-such-user-here"));
}

TEST(NotificationCenter, PostsFromWorkerThreadsArriveOnTheMainThread)
{
    QObject receiver;
    QThread* seenOn = nullptr;
    QVariantMap seen;
    platform::NotificationCenter::defaultCenter().observe(&receiver, "MCVolumeMount", [&](const QVariantMap& info) {
        seenOn = QThread::currentThread();
        seen = info;
    });
    std::thread worker([] { platform::NotificationCenter::defaultCenter().post("MCVolumeMount", {{"path", "/media/x"}}); });
    worker.join();
    platform::NotificationCenter::defaultCenter().post("MCVolumeUnmount", {});
    QCoreApplication::processEvents();
    EXPECT_EQ(seenOn, QCoreApplication::instance()->thread());
    EXPECT_EQ(seen.value("path").toString(), "/media/x");
}

TEST(Background, ResultComesBackOnTheContextThreadAndIsDroppedWhenTheContextIsGone)
{
    QObject context;
    int result = 0;
    QThread* doneOn = nullptr;
    platform::runInBackground(&context, [] { return 42; }, [&](int v) {
        result = v;
        doneOn = QThread::currentThread();
    });
    QElapsedTimer t;
    t.start();
    while (result == 0 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(result, 42);
    EXPECT_EQ(doneOn, QThread::currentThread());

    bool called = false;
    auto* gone = new QObject;
    platform::runInBackground(gone, [] { QThread::msleep(50); return 1; }, [&](int) { called = true; });
    delete gone;
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}

TEST(StartUp, WorkWaitsForTheStartsEndAndIsDroppedWithItsContext)
{
    int ran = 0;
    QObject context;
    // No start under way: the next turn of the event loop, not at once.
    platform::afterStartUp(&context, [&] { ran += 1; });
    EXPECT_EQ(ran, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 1);

    platform::startUpBegins();
    platform::afterStartUp(&context, [&] { ran += 10; });
    auto* gone = new QObject;
    platform::afterStartUp(gone, [&] { ran += 100; });
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(ran, 1) << "work ran while the start was under way";
    delete gone;
    platform::startUpEnded();
    EXPECT_FALSE(platform::startUpUnderWay());
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 11) << "the waiting work ran not once, or the gone context's ran too";
}

TEST(Background, AContextDyingAsItsResultArrivesIsNeverCalledBackNorReached)
{
    // The result and the context's end race each other; whichever wins, the
    // finished work must neither call a dead receiver nor post to one.
    std::atomic<int> calledDead{0};
    for (int round = 0; round < 20000; ++round) {
        auto* context = new QObject;
        auto alive = std::make_shared<std::atomic<bool>>(true);
        platform::runInBackground(context, [] { return 1; }, [alive, &calledDead](int) {
            if (!*alive)
                ++calledDead;
        });
        if (round % 3 == 0)
            QThread::yieldCurrentThread();
        *alive = false;
        delete context;
    }
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(calledDead, 0);
}

TEST(NetworkProbe, AnswersDataTimeoutsAndSizeCap)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QByteArray body = "hello";
    bool answer = true;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* s = server.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [&, s] {
            s->readAll();
            if (!answer)
                return;  // never answers: the probe must give up on time
            s->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                     "\r\nConnection: close\r\n\r\n" + body);
            s->disconnectFromHost();
        });
    });
    const QUrl url(QString("http://127.0.0.1:%1/").arg(server.serverPort()));
    EXPECT_TRUE(platform::probeUrl(url, 2000));

    body = QByteArray(3000, 'x');
    EXPECT_FALSE(platform::fetchUrl(url, 2000, 1000));

    answer = false;
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(platform::probeUrl(url, 300));
    EXPECT_LT(t.elapsed(), 3000);

    EXPECT_FALSE(platform::probeUrl(QUrl("http://127.0.0.1:1/"), 1000));
}
