#include "LauncherStartup.h"
#include "Eraser/SystemItemAlert.h"

#include "FakeTool.h"

#include "TempTree.h"

#include "platform/SettingsFile.h"

#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

using LauncherStartup::Decision;

TEST(LauncherStartup, ArgumentsChooseBetweenErasingAndStartingTheMainProgram)
{
    TempTree tree;
    const QString file = tree.file("doc one.txt");
    const QByteArray prog = "brisklaunch";

    EXPECT_EQ(LauncherStartup::decide({prog}, tree.path()).kind, Decision::StartMainProgram);
    // One argument, even an existing path, starts the main program.
    EXPECT_EQ(LauncherStartup::decide({prog, file.toUtf8()}, tree.path()).kind, Decision::StartMainProgram);

    const Decision erase = LauncherStartup::decide({prog, file.toUtf8(), "--service"}, "/");
    EXPECT_EQ(erase.kind, Decision::Erase);
    EXPECT_EQ(erase.path, file);

    // A relative path is taken against the working folder.
    const Decision relative = LauncherStartup::decide({prog, "doc one.txt", "--service"}, tree.path());
    EXPECT_EQ(relative.kind, Decision::Erase);
    EXPECT_EQ(relative.path, tree.path() + "/doc one.txt");

    // Missing, empty or undecodable paths start the main program.
    EXPECT_EQ(LauncherStartup::decide({prog, (tree / "gone").toUtf8(), "--service"}, "/").kind,
              Decision::StartMainProgram);
    EXPECT_EQ(LauncherStartup::decide({prog, "", "--service"}, tree.path()).kind, Decision::StartMainProgram);
    EXPECT_EQ(LauncherStartup::decide({prog, "bad\xff\xfename", "--service"}, tree.path()).kind,
              Decision::StartMainProgram);
}

TEST(LauncherStartup, DanglingLinkIsErasedAsItself)
{
    TempTree tree;
    const QString link = tree.link("dangling", tree / "nowhere");
    const Decision d = LauncherStartup::decide({"brisklaunch", link.toUtf8(), "--service"}, "/");
    EXPECT_EQ(d.kind, Decision::Erase);
    EXPECT_EQ(d.path, link);
}

TEST(LauncherStartup, UserNameIsRecordedAndOtherKeysKept)
{
    ScopedLayout layout;
    const platform::SettingsFile settings = platform::SettingsFile::shared();
    ASSERT_TRUE(settings.setValue("FontLight", "Lato Light"));
    const auto before = settings.read();
    ASSERT_TRUE(before);

    ASSERT_TRUE(LauncherStartup::recordUserName(settings, "alice"));
    const auto after = settings.read();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->value("USERNAME").toString(), "alice");
    for (auto it = before->begin(); it != before->end(); ++it) {
        if (it.key() != "USERNAME") {
            EXPECT_EQ(after->value(it.key()), it.value()) << it.key().toStdString();
        }
    }

    // A settings file that cannot be read is left as it is.
    TempTree tree;
    const QString broken = tree.file("VantolyBase.plist", "not a plist");
    EXPECT_FALSE(LauncherStartup::recordUserName(platform::SettingsFile(broken), "alice"));
    EXPECT_EQ(TempTree::read(broken), "not a plist");
}

TEST(LauncherStartup, WhatBelongsToTheSystemIsRefusedBeforeAnythingIsTouched)
{
    const QByteArray prog = "brisklaunch";
    for (const char* path : {"/", "/.", "//", "/proc/self/status", "/dev/null", "/sys/kernel"}) {
        const Decision d = LauncherStartup::decide({prog, path, "--service"}, "/");
        EXPECT_EQ(d.kind, Decision::RefuseSystemItem) << path;
    }
    TempTree tree;
    EXPECT_EQ(LauncherStartup::decide({prog, "..", "--service"}, tree.path()).kind,
              tree.path().count('/') == 1 ? Decision::RefuseSystemItem : Decision::Erase);

    // Even if handed straight to the window: the notice, and no tool started.
    FakeTool srm("srm", R"(echo "$@" >> "$LOG")");
    const auto window = LauncherStartup::openWindowFor("/dev/null", srm.path());
    auto* notice = qobject_cast<SystemItemAlert*>(window.get());
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->noticeText(),
              "Cannot erase this item\n\"/dev/null\" belongs to the system, not to your files, and cannot be erased.");
    QTest::qWait(200);
    EXPECT_TRUE(srm.log().isEmpty());
}

