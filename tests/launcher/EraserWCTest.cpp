#include "Eraser/EraserWC.h"
#include "Eraser/NTFSFileAlert.h"
#include "LauncherStartup.h"

#include "FakeTool.h"
#include "LoopVolume.h"
#include "TempTree.h"

#include "Main/FileEraser/Engine/EraserLevel.h"
#include "Main/FileEraser/Engine/FolderExpansion.h"
#include "Main/FileEraser/Engine/RemoveFileAndFolder.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

QString currentPage(QDialog* w)
{
    return w->findChild<QStackedWidget*>("pages")->currentWidget()->objectName();
}

// Runs the window's modal loop; `step` is polled in the loop until it
// returns true (or the loop ends), as a user would act on the window.
int execWith(QDialog* w, const std::function<bool()>& step)
{
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (step())
            poll.stop();
    });
    poll.start(20);
    QTimer::singleShot(60000, w, [w] { w->done(-1); });  // never hang the suite
    return w->exec();
}

bool clickWhenOn(QDialog* w, const QString& page, const QString& button)
{
    if (currentPage(w) != page)
        return false;
    w->findChild<QPushButton*>(button)->click();
    return true;
}

const char* const kCanceled = "The operation was canceled by the user.";

// A window whose run waits on a tool that never finishes by itself.
struct SlowRun
{
    TempTree tree;
    FakeTool slow{"srm", "exec sleep 30"};
    EraserWC window{slow.path()};
    SlowRun()
    {
        window.show();
        window.eumeFileWithPath(tree.file("big.bin", QByteArray(1000, 'x')));
    }
};

}  // namespace

// The file manager's hand-over from start to end: `brisklaunch <dir> --service`.
TEST(EraserWC, FolderHandedOverIsErasedEntryByEntryThenRemoved)
{
    ScopedLayout layout;
    const int savedLevel = platform::userDefaultInteger(kEraserTimesKey, 1);
    platform::setUserDefaultInteger(kEraserTimesKey, 3);  // the user's own level
    TempTree tree;
    const QString dir = tree.folder("to erase");
    tree.file("to erase/a.txt", QByteArray(5000, 'a'));
    tree.file("to erase/sub/b.bin", QByteArray(70000, 'b'));
    tree.file("to erase/sub/empty", "");
    tree.folder("to erase/sub/hollow");

    FakeTool fake("srm", FakeTool::srmWithRecords());
    const QString tool = fake.path();

    // What the tool must still find there: the folder as it was handed over.
    const QByteArray identity = RemoveFileAndFolder::identityArgument(*FolderExpansion::buildFileObj(dir, true));
    ASSERT_NE(identity, "-");
    const auto decision = LauncherStartup::decide({"brisklaunch", "to erase", "--service"}, tree.path());
    ASSERT_EQ(decision.kind, LauncherStartup::Decision::Erase);
    const auto window = LauncherStartup::openWindowFor(decision.path, tool);
    ASSERT_TRUE(qobject_cast<EraserWC*>(window.get()));
    EXPECT_EQ(currentPage(window.get()), "progressView");
    EXPECT_GE(window->findChild<QProgressBar*>("progressBar")->value(), 2);

    EXPECT_EQ(execWith(window.get(), [&] { return clickWhenOn(window.get(), "successView", "successOkButton"); }),
              QDialog::Accepted);
    EXPECT_FALSE(QFileInfo::exists(dir));
    // The folder goes to the tool whole.
    EXPECT_EQ(fake.log(), "-fEvrz -M -I -- " + QString::fromLatin1(identity) + " " + dir + "\n");
    platform::setUserDefaultInteger(kEraserTimesKey, savedLevel);
}

TEST(EraserWC, CancelAndFailureShowTheFailurePage)
{
    {
        SlowRun run;
        EraserWC& window = run.window;
        QTimer::singleShot(100, &window, [&] { window.findChild<QPushButton*>("cancelButton")->click(); });
        execWith(&window, [&] { return clickWhenOn(&window, "failView", "failOkButton"); });
        EXPECT_EQ(window.findChild<QLabel*>("failLabel")->text(), kCanceled);
    }
    {
        TempTree tree;
        // The tool leaves the file, so the folder is still full when its turn comes.
        FakeTool idle("srm", "exit 0");
        const QString dir = tree.folder("kept");
        tree.file("kept/f.txt");
        EraserWC window(idle.path());
        window.show();
        window.eumeFileWithPath(dir);
        execWith(&window, [&] { return clickWhenOn(&window, "failView", "failOkButton"); });
        EXPECT_NE(window.findChild<QLabel*>("failLabel")->text(), kCanceled);
        EXPECT_TRUE(QFileInfo::exists(dir));
    }
}

// The failure page names what was left and why, in the singular for one;
// the names handed over are drawn as they are, never as markup.
TEST(EraserWC, AFailureNamesEachItemLeftAndWhy)
{
    FakeTool fake("srm", FakeTool::srmWithRecords());
    {
        TempTree tree;
        const QString file = tree.file("<b>keep me.txt", "x");
        EraserWC window(fake.path());
        window.show();
        window.eumeFileWithPath(file);
        execWith(&window, [&] { return clickWhenOn(&window, "failView", "failOkButton"); });
        auto* label = window.findChild<QLabel*>("failLabel");
        EXPECT_EQ(label->text(), "This item could not be erased:\n\"" + file + "\": kept.");
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(window.findChild<QLabel*>("eraserPathLabel")->textFormat(), Qt::PlainText);
    }
    {
        TempTree tree;
        const QString dir = tree.folder("several");
        const QString a = tree.file("several/keep a.txt", "x");
        tree.file("several/gone.txt", "x");
        EraserWC window(fake.path());
        window.show();
        window.eumeFileWithPath(dir);
        execWith(&window, [&] { return clickWhenOn(&window, "failView", "failOkButton"); });
        const QString text = window.findChild<QLabel*>("failLabel")->text();
        EXPECT_TRUE(text.startsWith("Some items could not be erased:\n")) << text.toStdString();
        EXPECT_TRUE(text.contains("\"" + a + "\": kept")) << text.toStdString();
        EXPECT_TRUE(text.contains("\"" + dir + "\": ")) << text.toStdString();
        EXPECT_FALSE(text.contains("gone.txt")) << text.toStdString();
    }
}

// After a cancel the failure page's OK holds the keyboard, as after any end.
TEST(EraserWC, AfterACancelTheFailurePageTakesReturnAndSpace)
{
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        SlowRun run;
        EraserWC& window = run.window;
        window.activateWindow();
        QTimer::singleShot(100, &window, [&] { window.findChild<QPushButton*>("cancelButton")->click(); });
        bool okHadFocus = false;
        const int result = execWith(&window, [&] {
            if (currentPage(&window) != "failView")
                return false;
            okHadFocus = window.focusWidget() == window.findChild<QPushButton*>("failOkButton");
            QTest::keyClick(window.focusWidget() ? window.focusWidget() : &window, key);
            return true;
        });
        EXPECT_TRUE(okHadFocus) << key;
        EXPECT_EQ(result, QDialog::Accepted) << key;
    }
}

// The launcher's windows use the program's own font.
TEST(EraserWC, TheWindowsUseTheProgramsFont)
{
    if (!QFontDatabase::families().contains("Lato"))
        GTEST_SKIP() << "the Lato font is not installed";
    EraserWC window;
    NTFSFileAlert notice;
    for (QDialog* w : {static_cast<QDialog*>(&window), static_cast<QDialog*>(&notice)}) {
        w->ensurePolished();
        for (QLabel* label : w->findChildren<QLabel*>()) {
            label->ensurePolished();
            EXPECT_EQ(QFontInfo(label->font()).family(), "Lato") << label->objectName().toStdString();
        }
    }
}

TEST(EraserWC, ClosingDuringARunCancelsItAndEndsOnceTheRunHas)
{
    SlowRun run;
    EraserWC& window = run.window;
    bool stillRunningAfterClose = false;
    QTimer::singleShot(100, &window, [&] {
        window.close();
        stillRunningAfterClose = window.isVisible() && window.isRunning();
    });
    EXPECT_EQ(execWith(&window, [] { return false; }), QDialog::Rejected);
    EXPECT_TRUE(stillRunningAfterClose);
    EXPECT_FALSE(window.isRunning());
    EXPECT_EQ(currentPage(&window), "failView");
}

TEST(EraserWC, EscapeDuringARunCancelsItLikeTheCloseButton)
{
    SlowRun run;
    EraserWC& window = run.window;
    QTimer::singleShot(100, &window, [&] { QTest::keyClick(&window, Qt::Key_Escape); });
    EXPECT_EQ(execWith(&window, [] { return false; }), QDialog::Rejected);
    EXPECT_FALSE(window.isRunning());
    EXPECT_EQ(currentPage(&window), "failView");
    EXPECT_EQ(window.findChild<QLabel*>("failLabel")->text(), kCanceled);
}

TEST(EraserWC, ItemOnNtfsGetsTheNoticeAndStays)
{
    SKIP_WITHOUT_LOOP_VOLUMES();
    LoopVolume volume("ntfs", 16);
    ASSERT_TRUE(volume.ok()) << volume.error().toStdString();
    ASSERT_TRUE(volume.mount());
    const QString file = volume.mountPoint() + "/keep.txt";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    FakeTool srm("srm", R"(echo called >> "$LOG")");
    const auto window = LauncherStartup::openWindowFor(file, srm.path());
    ASSERT_TRUE(qobject_cast<NTFSFileAlert*>(window.get()));
    EXPECT_EQ(execWith(window.get(),
                       [&] {
                           window->findChild<QPushButton*>("okButton")->click();
                           return true;
                       }),
              QDialog::Accepted);
    EXPECT_EQ(TempTree::read(file), "precious");
    EXPECT_TRUE(srm.log().isEmpty());
}
