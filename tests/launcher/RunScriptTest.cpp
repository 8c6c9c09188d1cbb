#include "RunScript.h"
#include "StartFailedAlert.h"

#include "FakeTool.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct Recorder
{
    QString program;
    QStringList arguments;
    int calls = 0;
    int32_t status = 0;
    RunScript::Runner runner()
    {
        return [this](const QString& p, const QStringList& a) {
            ++calls;
            program = p;
            arguments = a;
            return status;
        };
    }
};

}  // namespace

TEST(RunScript, UserStartsMainProgramThroughPkexecWithTheOneArgument)
{
    if (RunScript::pkexecPath().isEmpty())
        GTEST_SKIP() << "pkexec is not installed";
    FakeTool mainProgram("tarnwick-vantoly", "exit 0");
    Recorder rec;
    EXPECT_EQ(RunScript::RunTool(mainProgram.path(), false, rec.runner()), 0);
    EXPECT_EQ(rec.program, RunScript::pkexecPath());
    EXPECT_EQ(rec.arguments, (QStringList{mainProgram.path(), "en*loaderflag*"}));

    // A refused authorisation comes back as a non-zero status.
    rec.status = 126;
    EXPECT_EQ(RunScript::RunTool(mainProgram.path(), false, rec.runner()), 126);
}

TEST(RunScript, RootStartsMainProgramDirectlyWithTheOneArgument)
{
    FakeTool mainProgram("tarnwick-vantoly", "exit 0");
    Recorder rec;
    EXPECT_EQ(RunScript::RunTool(mainProgram.path(), true, rec.runner()), 0);
    EXPECT_EQ(rec.program, mainProgram.path());
    EXPECT_EQ(rec.arguments, QStringList{"en*loaderflag*"});
}

TEST(RunScript, MissingMainProgramIsNotStarted)
{
    Recorder rec;
    EXPECT_NE(RunScript::RunTool("/nonexistent/tarnwick-vantoly", true, rec.runner()), 0);
    EXPECT_NE(RunScript::RunTool("relative/tarnwick-vantoly", false, rec.runner()), 0);
    EXPECT_EQ(rec.calls, 0);
}

TEST(RunScript, PrivilegedRunnerWaitsForTheHandOverOrTheRefusal)
{
    // A stand-in that refuses, as pkexec does when the dialog is dismissed.
    FakeTool refusing("pkexec", "exit 126");
    EXPECT_EQ(RunScript::runPrivileged(refusing.path(), {"/bin/true"}), 126);

    // One that hands over: the process becomes the program it was asked to run.
    FakeTool granting("pkexec", R"(exec "$@")");
    EXPECT_EQ(RunScript::runPrivileged(granting.path(), {"/bin/sleep", "1"}), 0);

    EXPECT_NE(RunScript::runPrivileged("/nonexistent/pkexec", {}), 0);
}

// A start that did not happen is told in one sentence in the launcher's own
// window: rights refused (dismissed, or a wrong password), no agent to ask,
// or a main program that ended before its window opened.
TEST(RunScript, AFailedStartIsToldInOneSentence)
{
    const QString refused = "Administrator rights were not given, so Tarnwick Vantoly did not start.";
    FakeTool dismissed("pkexec", "exit 126");
    EXPECT_EQ(RunScript::failureSentence(RunScript::runPrivileged(dismissed.path(), {"/bin/true"})), refused);

    // Asked, then refused: the authentication takes its time.
    FakeTool wrongPassword("pkexec", "sleep 2; exit 127");
    EXPECT_EQ(RunScript::failureSentence(RunScript::runPrivileged(wrongPassword.path(), {"/bin/true"})), refused);

    // Refused at once with no terminal: there was no agent to ask.
    FakeTool noAgent("pkexec", "exit 127");
    const int32_t atOnce = RunScript::runPrivileged(noAgent.path(), {"/bin/true"});
    EXPECT_EQ(atOnce, ::isatty(STDIN_FILENO) ? 127 : RunScript::kNoAgent);
    EXPECT_TRUE(RunScript::failureSentence(RunScript::kNoAgent).startsWith("No authentication agent is running: "));

    // Handed over, then the program fails before its window could open.
    FakeTool granting("pkexec", R"(exec "$@")");
    EXPECT_EQ(RunScript::runPrivileged(granting.path(), {"/bin/sh", "-c", "sleep 0.5; exit 5"}),
              RunScript::kEndedEarly);
    EXPECT_EQ(RunScript::failureSentence(RunScript::kEndedEarly),
              "Tarnwick Vantoly ended before its window opened; run brisklaunch in a terminal to see why.");

    for (int32_t status : {RunScript::kNotStarted, RunScript::kNoProgram, RunScript::kNoAgent, RunScript::kEndedEarly,
                           int32_t(126), int32_t(127)}) {
        const QString sentence = RunScript::failureSentence(status);
        EXPECT_TRUE(sentence.endsWith('.')) << status;
        EXPECT_EQ(sentence.count(". "), 0) << "one sentence: " << sentence.toStdString();
    }

    StartFailedAlert alert(refused);
    EXPECT_EQ(alert.sentence(), refused);
    EXPECT_EQ(alert.findChild<QLabel*>("noticeLabel")->textFormat(), Qt::PlainText);
    EXPECT_TRUE(alert.okButton()->isDefault());
}
