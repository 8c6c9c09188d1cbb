#include "TopView/NSColorTCAdditions.h"
#include "TopView/QZTitlebarView.h"
#include "TopView/StandardWindowButton.h"
#include "TopView/TCImageWindow.h"
#include "TopView/TCWindowButton.h"
#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

TEST(TCImageWindow, DefaultBarCentresItsButtonsAndKeepsContentBelow)
{
    TCImageWindow window;
    window.resize(400, 300);
    auto* content = new QWidget;
    window.setContentView(content);
    window.show();
    const double bar = TCImageWindow::kTitleBarHeight;
    EXPECT_EQ(window.titleBarContainer()->geometry(), QRect(0, 0, 400, int(bar)));
    int x = int(TCImageWindow::kButtonsLeftMargin);
    for (int kind = 0; kind < 3; ++kind) {
        QWidget* b = window.standardWindowButton(kind);
        EXPECT_EQ(b->x(), x);
        EXPECT_EQ(b->y() + b->height() / 2, int(bar / 2));
        x += b->width() + int(TCImageWindow::kButtonSeparation);
    }
    EXPECT_EQ(content->geometry(), QRect(0, int(bar), 400, 300 - int(bar)));

    window.setTitleBarHeight(40);
    EXPECT_EQ(content->geometry(), QRect(0, 40, 400, 260));
    window.setVerticalTrafficLightButtons(true);
    EXPECT_EQ(window.standardWindowButton(1)->y(), window.standardWindowButton(0)->y() + 12 + 6);
    EXPECT_EQ(window.standardWindowButton(0)->x(), window.standardWindowButton(2)->x());
}

TEST(TCImageWindow, ReplacementButtonHidesTheOwnOneAndActs)
{
    TCImageWindow window;
    window.resize(300, 200);
    window.show();
    auto* close = TCWindowButton::windowButtonWithSize(QSize(14, 14), QString());
    window.setCloseButton(close);
    EXPECT_TRUE(window.standardWindowButton(0)->isHidden());
    EXPECT_EQ(close->pos(), QPoint(8, 4));
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
}

namespace {
struct StubbornDelegate : TCImageWindowDelegate
{
    QRectF windowWillPositionSheet(TCImageWindow*, QWidget*, const QRectF&) override { return QRectF(1, 2, 3, 4); }
};
}  // namespace

TEST(TCImageWindow, SheetsComeOutOfTheBarsLowerEdge)
{
    TCImageWindow window;
    StubbornDelegate delegate;
    window.setDelegate(&delegate);
    EXPECT_EQ(window.delegate(), &delegate);
    EXPECT_EQ(window.sheetRect(nullptr, QRectF(50, 0, 200, 100)), QRectF(50, TCImageWindow::kTitleBarHeight, 200, 100));
}

TEST(TCImageWindow, DoubleClickWithoutTheDefaultLeavesTheWindow)
{
    TCImageWindow window;
    window.resize(300, 200);
    window.show();
    QTest::mouseDClick(window.titleBarView(), Qt::LeftButton, {}, QPoint(150, 10));
    EXPECT_FALSE(window.isMinimized());
}

TEST(TCImageWindow, TitleBarIsWhiteWithRoundedTopCorners)
{
    TCImageWindow window;
    window.resize(300, 200);
    const QImage bar = window.titleBarView()->grab().toImage();
    EXPECT_EQ(bar.pixelColor(150, 10), QColor(Qt::white));
    EXPECT_NE(bar.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(bar.pixelColor(0, bar.height() - 1), QColor(Qt::white));
}

TEST(TCImageWindow, TitlesLowerEdgeIsSevenBelowTheBarsMiddle)
{
    TCImageWindow window;
    window.setWindowTitle(QStringLiteral("Tarnwick Vantoly"));
    window.resize(400, 300);
    window.show();
    auto* bar = qobject_cast<QZTitlebarView*>(window.titleBarView());
    ASSERT_TRUE(bar);
    for (int size : {9, 13, 24}) {
        QFont font = bar->font();
        font.setPixelSize(size);
        bar->setFont(font);
        const QRectF frame = bar->titleFrame(&window);
        EXPECT_DOUBLE_EQ(frame.bottom(), bar->height() / 2.0 + 7) << size;
        EXPECT_EQ(frame.x(), 80);
        EXPECT_GT(frame.height(), size);  // the whole line, so glyphs reach no lower than the edge
    }
}

TEST(TCImageWindow, ContentKeepsItsWidthTitleIsWhiteUnlessSet)
{
    TCImageWindow window;
    window.resize(400, 300);
    auto* content = new QWidget;
    window.setContentView(content);
    content->setGeometry(10, 0, 250, 100);
    window.show();
    window.resize(500, 350);
    EXPECT_EQ(content->geometry(), QRect(10, int(TCImageWindow::kTitleBarHeight), 250,
                                         350 - int(TCImageWindow::kTitleBarHeight)));

    EXPECT_EQ(QZTitlebarView::titleColor(&window, true), QColor(Qt::white));
    EXPECT_EQ(QZTitlebarView::titleColor(&window, false), QColor(Qt::white));
    window.inactiveTitleTextColor = Qt::gray;
    EXPECT_EQ(QZTitlebarView::titleColor(&window, false), QColor(Qt::gray));
    EXPECT_EQ(QZTitlebarView::titleColor(&window, true), QColor(Qt::white));
}

TEST(TCWindowButton, PointerCountsWithinFourPointsAroundAndALiveResizeForgetsIt)
{
    TCImageWindow window;
    window.resize(300, 200);
    auto* close = TCWindowButton::windowButtonWithSize(QSize(12, 12), "margin-test");
    window.setCloseButton(close);
    window.show();
    QWidget* around = close->parentWidget();
    ASSERT_TRUE(around);
    TCWindowButtonGroup* group = close->group();
    auto moveTo = [&](QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), around->mapToGlobal(QPointF(at)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(around, &move);
    };
    const QRect r = close->geometry();
    moveTo(QPoint(r.right() + 4, r.center().y()));
    EXPECT_EQ(group->numberOfCaptures(), 1);
    EXPECT_TRUE(group->shouldDisplayRollOver());
    moveTo(QPoint(r.right() + 3, r.top() - 3));
    EXPECT_EQ(group->numberOfCaptures(), 1) << "moving within the margin counts once";
    moveTo(QPoint(r.right() + 6, r.center().y()));
    EXPECT_EQ(group->numberOfCaptures(), 0);

    moveTo(r.center());
    ASSERT_EQ(group->numberOfCaptures(), 1);
    window.resize(320, 200);
    window.resize(340, 210);
    QTRY_COMPARE_WITH_TIMEOUT(group->numberOfCaptures(), qint64(0), 2000);
    EXPECT_FALSE(close->pointerInside());
}

TEST(TCWindowButtonGroup, CountsAndAnnouncesOnlyRealChanges)
{
    TCWindowButton a(QSize(12, 12), QString());
    TCWindowButton b(QSize(12, 12), QString());
    EXPECT_EQ(a.group(), b.group());
    EXPECT_EQ(a.group()->identifier(), TCWindowButtonGroup::kDefaultIdentifier);

    auto* group = TCWindowButtonGroup::groupWithIdentifier("count-test");
    int posted = 0;
    QObject receiver;
    platform::NotificationCenter::defaultCenter().observe(
        &receiver, TCWindowButtonGroup::kRolloverNotification, [&](const QVariantMap&) { ++posted; });
    group->setNumberOfCaptures(-1);
    group->setNumberOfCaptures(0);
    EXPECT_EQ(posted, 0);
    group->setNumberOfCaptures(2);
    EXPECT_EQ(posted, 1);
    EXPECT_TRUE(group->shouldDisplayRollOver());
    group->resetMouseCaptures();
    EXPECT_FALSE(group->shouldDisplayRollOver());
}

TEST(NSColorTCAdditions, ConvertsToRgb)
{
    const QColor rgb = QZ_CGColorCreate(QColor::fromHsv(0, 255, 255));
    EXPECT_EQ(rgb.spec(), QColor::Rgb);
    EXPECT_EQ(rgb, QColor(255, 0, 0));
}
