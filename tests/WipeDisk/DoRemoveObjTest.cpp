// The secure remover: one srm at a time, in order, one end report; a path
// srm did not remove is a failure; what mkfs made is never handed to srm.
#include "FakeTool.h"
#include "TempTree.h"
#include "WipeDisk/DoRemoveObj.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct EndCounter : DoRemoveObjDelegate
{
    int ends = 0;
    QEventLoop* loop = nullptr;
    void removeObjEnd() override
    {
        ++ends;
        if (loop)
            loop->quit();
    }
};

void runToEnd(DoRemoveObj& remover, EndCounter& counter)
{
    QEventLoop loop;
    counter.loop = &loop;
    remover.setDelegate(&counter);
    remover.start();
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    QTimer::singleShot(300, &loop, &QEventLoop::quit);  // a second report would come now
    loop.exec();
}

}  // namespace

TEST(DoRemoveObj, RunsSrmOnEachPathInTurnAndReportsFailures)
{
    // Exits 1 for a path holding "bad"; each call appends its arguments.
    FakeTool srm("srm", "echo \"$@\" >> \"$LOG\"\ncase \"$3\" in *bad*) exit 1;; esac\nexit 0\n");
    DoRemoveObj remover({"/v/one", "/v/bad", "/v/three"}, srm.path());
    EndCounter counter;
    runToEnd(remover, counter);
    EXPECT_EQ(counter.ends, 1);
    EXPECT_EQ(srm.log(), "-fsvrz -- /v/one\n-fsvrz -- /v/bad\n-fsvrz -- /v/three\n");
    EXPECT_EQ(remover.failedPaths(), QStringList{"/v/bad"});
}

TEST(DoRemoveObj, AnEmptyListEndsAtOnceAndAMissingToolFails)
{
    EndCounter counter;
    DoRemoveObj empty({}, "/nonexistent/srm");
    runToEnd(empty, counter);
    EXPECT_EQ(counter.ends, 1);

    EndCounter missing;
    DoRemoveObj remover({"/v/one"}, "/nonexistent/srm");
    runToEnd(remover, missing);
    EXPECT_EQ(missing.ends, 1);
    EXPECT_EQ(remover.failedPaths(), QStringList{"/v/one"});
}

TEST(DoRemoveObj, RootEntriesLeaveOutWhatTheFileSystemMade)
{
    TempTree tree;
    QDir().mkpath(tree / "lost+found");
    QDir().mkpath(tree / "folder");
    QFile(tree / "USBKEY").open(QIODevice::WriteOnly);  // the FUSE FAT label entry: empty
    QFile note(tree / ".hidden");
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.write("x");
    note.close();
    QStringList found = DoRemoveObj::rootEntries(tree.path(), "UsbKey");
    found.sort();
    EXPECT_EQ(found, (QStringList{tree / ".hidden", tree / "folder"}));
    // Without a label the same empty file is the user's and goes.
    EXPECT_EQ(DoRemoveObj::rootEntries(tree.path()).size(), 3);
}
