#include "ProgressView/ActivityAnimation.h"
#include "ProgressView/EndBgView.h"
#include "ProgressView/PopBgView.h"
#include "ProgressView/RFOverlayScrollView.h"
#include "ProgressView/RFOverlayScroller.h"
#include "ProgressView/SNRHUDSegmentedCell.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QPlainTextEdit>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTableView>

#include <gtest/gtest.h>

#include <utility>

TEST(SNRHUDSegmentedCell, EvenSegmentsShareTheFrame)
{
    SNRHUDSegmentedCell cell;
    cell.setSegmentCount(3);
    const QVector<QRectF> rects = cell.segmentRects(QRectF(0, 0, 100, 24));
    ASSERT_EQ(rects.size(), 3);
    EXPECT_DOUBLE_EQ(rects[0].width(), 34);
    EXPECT_DOUBLE_EQ(rects[1].width(), 34);
    EXPECT_DOUBLE_EQ(rects[2].width(), 31);
    EXPECT_DOUBLE_EQ(rects[1].x(), rects[0].right());
    cell.setWidth(2, 20);
    EXPECT_DOUBLE_EQ(cell.segmentRects(QRectF(0, 0, 100, 24))[2].width(), 20);
}

TEST(SNRHUDSegmentedCell, PressingADisabledSegmentDrawsNoOverlay)
{
    SNRHUDSegmentedCell cell;
    cell.resize(120, 24);
    cell.setSegmentCount(2);
    cell.setSegmentEnabled(1, false);
    const QImage before = cell.grab().toImage();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(90, 12), QPointF(90, 12), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&cell, &press);
    EXPECT_EQ(cell.grab().toImage(), before);

    QMouseEvent pressEnabled(QEvent::MouseButtonPress, QPointF(30, 12), QPointF(30, 12), Qt::LeftButton,
                             Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&cell, &pressEnabled);
    EXPECT_LT(cell.grab().toImage().pixelColor(30, 6).lightness(), before.pixelColor(30, 6).lightness());
}

TEST(RFOverlayScroller, OnlyTheClassItselfIsOverlayCompatible)
{
    class Derived : public RFOverlayScroller {};
    RFOverlayScroller scroller;
    Derived derived;
    EXPECT_TRUE(scroller.isCompatibleWithOverlayScrollers());
    EXPECT_FALSE(derived.isCompatibleWithOverlayScrollers());
}

// Only the knob is drawn, where the value puts it and as long as the page is
// against the whole; with nothing to scroll nothing is drawn.
TEST(RFOverlayScroller, TheKnobFollowsTheValueAndTheShareShown)
{
    RFOverlayScroller scroller;
    scroller.resize(RFOverlayScroller::kScrollerWidth, 200);
    // The rows that hold a drawn pixel: first and last.
    const auto knobRows = [&scroller] {
        QImage image(scroller.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        scroller.render(&image);
        int first = -1, last = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) > 0) {
                    if (first < 0)
                        first = y;
                    last = y;
                }
        return std::pair<int, int>(first, last);
    };
    scroller.setRange(0, 0);
    EXPECT_EQ(knobRows().first, -1) << "nothing to scroll, nothing drawn";

    scroller.setRange(0, 300);  // a page of 100 in 400
    scroller.setPageStep(100);
    // The length the style gives the knob to move along.
    QStyleOptionSlider option;
    option.initFrom(&scroller);
    option.orientation = Qt::Vertical;
    option.minimum = 0;
    option.maximum = 300;
    option.pageStep = 100;
    const QRect groove = scroller.style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, &scroller);
    ASSERT_GT(groove.height(), 100);
    scroller.setValue(0);
    const auto top = knobRows();
    ASSERT_GE(top.first, 0);
    EXPECT_NEAR(top.first, groove.top(), 2);
    EXPECT_NEAR(top.second - top.first + 1, groove.height() / 4.0, 4) << "a quarter of the length";
    scroller.setValue(300);
    const auto bottom = knobRows();
    EXPECT_NEAR(bottom.second, groove.bottom(), 2);
    EXPECT_NEAR(bottom.second - bottom.first, top.second - top.first, 1);
    scroller.setValue(150);
    const auto middle = knobRows();
    EXPECT_NEAR((middle.first + middle.second) / 2.0, groove.center().y(), 3);
}

TEST(RFOverlayScrollView, ScrollerFloatsBelowTheTableHeader)
{
    RFOverlayScrollView view;
    view.resize(300, 200);
    auto* table = new QTableView;
    QStandardItemModel model(100, 2);
    table->setModel(&model);
    table->horizontalHeader()->setFixedHeight(25);
    view.setContent(table);
    view.show();
    EXPECT_EQ(view.headerOffset(), 25);
    EXPECT_EQ(table->geometry(), QRect(0, 0, 300, 200));  // content takes the full width
    RFOverlayScroller* scroller = view.verticalScroller();
    EXPECT_TRUE(scroller->isVisible());
    EXPECT_EQ(scroller->geometry(), QRect(300 - RFOverlayScroller::kScrollerWidth, 25,
                                          RFOverlayScroller::kScrollerWidth, 175));
    scroller->setValue(10);
    EXPECT_EQ(table->verticalScrollBar()->value(), 10);
}

TEST(RFOverlayScrollView, ContentThatIsNotATableGetsTheFullHeight)
{
    RFOverlayScrollView view;
    view.resize(300, 200);
    view.setContent(new QPlainTextEdit(QString(500, QLatin1Char('\n'))));
    view.show();
    EXPECT_EQ(view.headerOffset(), 0);
    EXPECT_EQ(view.verticalScroller()->geometry().top(), 0);
    EXPECT_EQ(view.verticalScroller()->geometry().height(), 200);
}

TEST(BackgroundViews, Fills)
{
    EndBgView end;
    end.resize(50, 50);
    EXPECT_EQ(end.grab().toImage().pixelColor(25, 25), QColor(50, 50, 62));

    QWidget host;
    host.resize(60, 60);
    host.setStyleSheet(QStringLiteral("background: white"));
    auto* pop = new PopBgView(&host);
    pop->setGeometry(0, 0, 60, 60);
    const QImage image = host.grab().toImage();
    EXPECT_EQ(image.pixelColor(30, 30), QColor(204, 204, 204));  // black at 0.2 over white
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));        // outside the rounded corner
}

TEST(ActivityAnimation, RunsOnlyWhileItsLabelIsShownAndEachFrameDiffers)
{
    QWidget page;
    auto* label = new QLabel(&page);
    label->resize(96, 60);
    ActivityAnimation* animation = ActivityAnimation::attach(label);
    ASSERT_TRUE(animation);
    EXPECT_FALSE(animation->isRunning());
    EXPECT_FALSE(label->pixmap().isNull()) << "a picture from the start";

    page.show();
    EXPECT_TRUE(animation->isRunning());
    const int first = animation->frame();
    QTRY_VERIFY_WITH_TIMEOUT(animation->frame() != first, 1000);
    page.hide();
    EXPECT_FALSE(animation->isRunning());

    const QImage a = ActivityAnimation::frameImage(0, QSize(96, 60)).toImage();
    const QImage b = ActivityAnimation::frameImage(6, QSize(96, 60)).toImage();
    EXPECT_NE(a, b);
    EXPECT_EQ(ActivityAnimation::frameImage(ActivityAnimation::kFrameCount, QSize(96, 60)).toImage(), a);
}
