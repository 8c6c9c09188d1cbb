#include "RunScript.h"

#include "FakeTool.h"

#include <gtest/gtest.h>

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
