// The runner the screens use: argument vectors in, exit status, output and lines out.
#include "FakeTool.h"
#include "ToolVolume.h"
#include "platform/DiskTool.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

TEST(DiskTool, PassesArgumentsVerbatimAndReportsTheOutcome)
{
    FakeTool fake("diskutil", "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$LOG\"; done\n"
                              "case \"$2\" in\n"
                              "  info) printf '<plist version=\"1.0\"><dict><key>VolumeName</key><string>A B</string></dict></plist>' ;;\n"
                              "  list) echo 'not a property list' ;;\n"
                              "  *) echo 'refused: reasons' >&2; exit 3 ;;\n"
                              "esac\n");
    platform::DiskTool::setDefaultProgram(fake.path());
    platform::DiskTool::setShowLoopAsUsb(true);
    const platform::DiskTool tool;
    platform::DiskTool::setDefaultProgram({});
    platform::DiskTool::setShowLoopAsUsb(false);
    EXPECT_EQ(tool.program(), fake.path());

    const auto info = tool.runPlist({"info", "-plist", "$(touch canary); \"x\""});
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->value("VolumeName").toString(), "A B");
    EXPECT_EQ(fake.log(), "--show-loop-as-usb\ninfo\n-plist\n$(touch canary); \"x\"\n");
    EXPECT_FALSE(QFile::exists("canary"));

    EXPECT_FALSE(tool.runPlist({"list", "-plist"}).has_value());
    const platform::CommandResult refused = tool.run({"rename", "sdb1", "x"});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_EQ(refused.errors, "refused: reasons\n");
    EXPECT_FALSE(tool.runPlist({"eject", "sdb"}).has_value());
    EXPECT_FALSE(platform::DiskTool("/nonexistent/diskutil").run({"list"}).started);
}

TEST(DiskTool, StreamsLinesAsTheyArePrinted)
{
    FakeTool fake("diskutil", "echo 'first line'; sleep 0.5; printf 'second\\nthird without end'; echo 'bad' >&2; exit 4\n");
    std::unique_ptr<platform::DiskToolStream> stream(platform::DiskTool(fake.path()).stream({"verifyvolume", "x"}));
    QStringList lines;
    qint64 firstAt = -1, endAt = -1;
    int exitCode = -2;
    QString errors;
    QElapsedTimer clock;
    QObject::connect(stream.get(), &platform::DiskToolStream::lineRead, [&](const QString& line) {
        if (lines.isEmpty())
            firstAt = clock.elapsed();
        lines << line;
    });
    QObject::connect(stream.get(), &platform::DiskToolStream::finished, [&](int code, const QString& err) {
        endAt = clock.elapsed();
        exitCode = code;
        errors = err;
    });
    clock.start();
    stream->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return exitCode != -2; }, 5000));
    EXPECT_EQ(lines, QStringList({"first line", "second", "third without end"}));
    EXPECT_LT(firstAt + 300, endAt) << "the first line waited for the end";
    EXPECT_EQ(exitCode, 4);
    EXPECT_EQ(errors, "bad");

    std::unique_ptr<platform::DiskToolStream> missing(platform::DiskTool("/nonexistent/diskutil").stream({"verifyvolume"}));
    int missingCode = -2;
    QObject::connect(missing.get(), &platform::DiskToolStream::finished, [&](int code, const QString&) { missingCode = code; });
    missing->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return missingCode == -1; }, 5000));
}
