#include "ProgressView/ProgressBar.h"
#include "ProgressView/ProgressView.h"

#include <QImage>

#include <cmath>
#include <gtest/gtest.h>

namespace {

// The drawn width of the bar, read from a rendering: count the blue pixels
// along the middle of the track.
int drawnBarWidth(ProgressView& view)
{
    const QImage image = view.grab().toImage();
    const int y = image.height() - ProgressView::kBarHeight / 2;
    int blue = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        if (c.blue() > 200 && c.red() < 60)
            ++blue;
    }
    return blue;
}

}  // namespace

TEST(ProgressView, BarWidthForEveryKindOfValue)
{
    ProgressView view;
    view.resize(634, 16);
    struct Case { float percent; int width; };
    const Case cases[] = {
        {0, 0}, {50, 317}, {100, 634}, {99.9f, 634}, {150, 634}, {-5, 0}, {NAN, 0}, {-INFINITY, 0}, {INFINITY, 634},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percent);
        view.changeProgressValue(c.percent);
        EXPECT_EQ(view.pProgress1()->width(), c.width);
        EXPECT_EQ(view.pProgress1()->height(), 16);
        // Rounded ends make a couple of edge pixels paler; count loosely.
        EXPECT_NEAR(drawnBarWidth(view), c.width, 2);
    }
}

TEST(ProgressView, EmptyBarLeavesTheTrackShowing)
{
    ProgressView view;
    view.resize(200, 16);
    view.changeProgressValue(0);
    const QImage image = view.grab().toImage();
    EXPECT_EQ(image.pixelColor(100, 8), QColor(32, 32, 39));
}

TEST(ProgressView, BarKeepsItsShareWhenTheTrackResizes)
{
    ProgressView view;
    view.resize(200, 16);
    view.show();
    view.changeProgressValue(25);
    EXPECT_EQ(view.pProgress1()->width(), 50);
    view.resize(400, 16);
    EXPECT_EQ(view.pProgress1()->width(), 100);
}

TEST(ProgressView, SnapsToFullWithinOnePoint)
{
    EXPECT_EQ(ProgressView::barWidth(634, 99.9f), 634.0f);   // 633.37 > 633
    EXPECT_FLOAT_EQ(ProgressView::barWidth(634, 99.8f), 632.732f);
}
