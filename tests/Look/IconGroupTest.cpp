// The top-right icon group (level, history, help) does not jump when the
// user switches between the screens that have it.
#include "Main/FileEraser/FileEraserViewController.h"
#include "TempTree.h"
#include "WipeDisk/WipeDiskViewController.h"

#include <gtest/gtest.h>

TEST(IconGroup, SitsInTheSamePlaceOnEveryScreenThatHasIt)
{
    ScopedLayout layout;
    FileEraserViewController eraser;
    WipeDiskViewController wiper;
    for (const char* name : {"setButton", "historyButton", "aboutButton"}) {
        QWidget* a = eraser.findChild<QWidget*>(name);
        QWidget* b = wiper.findChild<QWidget*>(name);
        ASSERT_TRUE(a && b) << name;
        EXPECT_EQ(a->mapTo(&eraser, QPoint(0, 0)), b->mapTo(&wiper, QPoint(0, 0))) << name;
        EXPECT_EQ(a->size(), b->size()) << name;
    }
    // Clear of the list's sort button at the right, where the sort pop-over opens.
    QWidget* sort = eraser.findChild<QWidget*>("sortButton");
    ASSERT_TRUE(sort);
    const QRect about(eraser.findChild<QWidget*>("aboutButton")->mapTo(&eraser, QPoint(0, 0)), QSize(30, 30));
    // The sort button sits on the list page, which slides in at x 0.
    EXPECT_FALSE(about.intersects(sort->geometry()));
}
