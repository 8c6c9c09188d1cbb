#include "PopWindow/AttachedGeometry.h"

#include <gtest/gtest.h>

using namespace AttachedGeometry;

namespace {

Style panelStyle()
{
    Style s;
    s.arrowBaseWidth = 15;
    s.arrowHeight = 10;
    s.hasArrow = true;
    return s;
}

}  // namespace

TEST(AttachedGeometry, ModalPanelAroundA400By300View)
{
    Style s = panelStyle();
    s.hasArrow = false;
    const Layout l = layout(QSizeF(400, 300), QPointF(500, 700), 1, 5, s);
    EXPECT_EQ(l.windowSize, QSizeF(404, 314));
    EXPECT_EQ(l.viewFrame, QRectF(2, 12, 400, 300));  // the arrow strip is the top 10
    EXPECT_EQ(l.windowOrigin, QPointF(500 - 202, 705));

    const QRectF body = bodyRect(l.viewFrame, s);
    EXPECT_EQ(body, QRectF(QPointF(1, 11), QPointF(403, 313)));
    const QPainterPath path = backgroundPath(l.viewFrame, 1, s);
    EXPECT_EQ(path.boundingRect(), body);
    EXPECT_FALSE(path.contains(QPointF(200, 5)));   // transparent strip
    EXPECT_TRUE(path.contains(QPointF(200, 150)));
    EXPECT_FALSE(path.contains(QPointF(1.3, 11.3)));  // rounded corner
}

// Every side: where the window lies, where the view sits and where the arrow
// tip ends up relative to the anchor.
TEST(AttachedGeometry, EverySidePlacesWindowAndArrowTowardsTheAnchor)
{
    const Style s = panelStyle();
    const QSizeF view(100, 60);
    const QPointF anchor(1000, 500);
    const double d = 7;
    const double i = arrowInset(s, 1.0);  // 7.5 + 4
    ASSERT_DOUBLE_EQ(i, 11.5);

    struct Expect { int side; QPointF origin; QPointF viewPos; };
    const double w = 104, h = 64;  // before the arrow strip
    const Expect cases[] = {
        {0, {1000 - (w + 10) - d, 500 - h / 2}, {2, 2}},
        {1, {1000 - w / 2, 500 + d}, {2, 12}},
        {2, {1000 + d, 500 - h / 2}, {12, 2}},
        {3, {1000 - w / 2, 500 - (h + 10) - d}, {2, 2}},
        {4, {1000 - (w + 10) - d, 500 + i - h}, {2, 2}},
        {5, {1000 - (w + 10) - d, 500 - i}, {2, 2}},
        {6, {1000 + d, 500 + i - h}, {12, 2}},
        {7, {1000 + d, 500 - i}, {12, 2}},
        {8, {1000 - (w - i), 500 - (h + 10) - d}, {2, 2}},
        {9, {1000 - i, 500 - (h + 10) - d}, {2, 2}},
        {10, {1000 - (w - i), 500 + d}, {2, 12}},
        {11, {1000 - i, 500 + d}, {2, 12}},
    };
    for (const Expect& e : cases) {
        SCOPED_TRACE(e.side);
        const Layout l = layout(view, anchor, e.side, d, s);
        const bool horizontal = e.side == 0 || e.side == 2 || (e.side >= 4 && e.side <= 7);
        EXPECT_EQ(l.windowSize, horizontal ? QSizeF(w + 10, h) : QSizeF(w, h + 10));
        EXPECT_EQ(l.windowOrigin, e.origin);
        EXPECT_EQ(l.viewFrame.topLeft(), e.viewPos);

        // The tip is the path's extreme point on the arrow side; in screen
        // coordinates it lies `d` short of the anchor, on the anchor's line.
        const QPainterPath path = backgroundPath(l.viewFrame, e.side, s).translated(l.windowOrigin);
        const QRectF bounds = path.boundingRect();
        switch (arrowEdge(e.side)) {
        case ArrowEdge::Top: EXPECT_NEAR(bounds.top(), anchor.y() + d + 1, 0.51); break;
        case ArrowEdge::Bottom: EXPECT_NEAR(bounds.bottom(), anchor.y() - d - 1, 0.51); break;
        case ArrowEdge::Left: EXPECT_NEAR(bounds.left(), anchor.x() + d + 1, 0.51); break;
        case ArrowEdge::Right: EXPECT_NEAR(bounds.right(), anchor.x() - d - 1, 0.51); break;
        }
        const QPointF tipProbe = horizontal ? QPointF(e.side == 0 || e.side == 4 || e.side == 5 ? anchor.x() - d - 3
                                                                                               : anchor.x() + d + 3,
                                                      anchor.y())
                                            : QPointF(anchor.x(), arrowEdge(e.side) == ArrowEdge::Top
                                                                      ? anchor.y() + d + 3
                                                                      : anchor.y() - d - 3);
        EXPECT_TRUE(path.contains(tipProbe)) << tipProbe.x() << "," << tipProbe.y();
    }
}

TEST(AttachedGeometry, AboveWithoutArrowSitsOnTheAnchor)
{
    Style s;
    s.arrowHeight = 0;
    const Layout l = layout(QSizeF(50, 20), QPointF(300, 200), 3, 0, s);
    EXPECT_EQ(l.windowOrigin.y() + l.windowSize.height(), 200);
    EXPECT_EQ(l.windowOrigin.x() + l.windowSize.width() / 2, 300);
}

TEST(AttachedGeometry, SquareCornerBesideACornerArrow)
{
    Style s = panelStyle();
    s.drawsRoundCornerBesideArrow = false;
    const Layout l = layout(QSizeF(100, 60), QPointF(0, 0), 11, 0, s);
    const QPainterPath square = backgroundPath(l.viewFrame, 11, s);
    const QRectF body = bodyRect(l.viewFrame, s);
    EXPECT_TRUE(square.contains(body.topLeft() + QPointF(0.3, 0.3)));
    EXPECT_FALSE(square.contains(body.topRight() + QPointF(-0.3, 0.3)));
}

TEST(AttachedGeometry, AutomaticSideNearTheBottomOfTheScreen)
{
    const Style s = panelStyle();
    const QRectF screen(0, 0, 1920, 1080);
    const QSizeF view(200, 100);
    // Plenty of room below: below, centred.
    EXPECT_EQ(bestSide(view, QPointF(900, 300), 0, s, screen, screen), 1);
    // No room below: right, then left, then above.
    EXPECT_EQ(bestSide(view, QPointF(900, 1000), 0, s, screen, screen), 2);
    EXPECT_EQ(bestSide(view, QPointF(1850, 1000), 0, s, screen, screen), 0);
    // So low that a window centred on the point would leave the screen.
    EXPECT_EQ(bestSide(view, QPointF(900, 1050), 0, s, screen, screen), 6);
    EXPECT_EQ(bestSide(view, QPointF(1850, 1050), 0, s, screen, screen), 4);
    EXPECT_EQ(bestSide(QSizeF(1000, 100), QPointF(960, 1050), 0, s, screen, screen), 3);
    // A centred window would hang below the parent window: corner variant.
    const QRectF parent(700, 600, 600, 460);
    EXPECT_EQ(bestSide(view, QPointF(900, 1040), 0, s, screen, parent), 6);
    // Above and hanging off the parent's left edge: the left-corner variant.
    EXPECT_EQ(bestSide(QSizeF(1000, 100), QPointF(910, 1050), 0, s, screen, QRectF(800, 0, 1000, 1080)), 9);
}
