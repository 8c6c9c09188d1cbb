#include "PopWindow/AttachedGeometry.h"

#include <array>
#include <cmath>

namespace AttachedGeometry {

namespace {

bool arrowOnLeftOrRight(int side)
{
    return side == 0 || side == 2 || (side >= 4 && side <= 7);
}

// Where the arrow's base begins along its edge.
enum class ArrowPlace { Centred, EdgeStart, EdgeEnd };

ArrowPlace arrowPlace(int side)
{
    switch (side) {
    case 11: case 5: case 8: case 6: return ArrowPlace::EdgeStart;
    case 10: case 4: case 9: case 7: return ArrowPlace::EdgeEnd;
    default: return ArrowPlace::Centred;
    }
}

// Corner indexes in path order: top-left, top-right, bottom-right, bottom-left.
int squareCornerBesideArrow(int side)
{
    switch (side) {
    case 7: case 11: return 0;
    case 5: case 10: return 1;
    case 4: case 8: return 2;
    case 6: case 9: return 3;
    default: return -1;
    }
}

float half(double v)
{
    return static_cast<float>(v / 2);
}

}  // namespace

ArrowEdge arrowEdge(int side)
{
    switch (side) {
    case 1: case 10: case 11: return ArrowEdge::Top;
    case 0: case 4: case 5: return ArrowEdge::Right;
    case 3: case 8: case 9: return ArrowEdge::Bottom;
    default: return ArrowEdge::Left;
    }
}

double arrowInset(const Style& style, double scale)
{
    return scale * (style.arrowBaseWidth / 2 + (style.drawsRoundCornerBesideArrow ? style.cornerRadius : 0));
}

Layout layout(QSizeF viewSize, QPointF anchor, int side, double distance, const Style& style, double scale)
{
    const double m = style.viewMargin * scale;
    const double a = style.arrowHeight * scale;
    const double d = distance;
    const double i = arrowInset(style, scale);

    // The arrow strip is reserved whether or not the arrow is drawn.
    double w = viewSize.width() + 2 * m;
    double h = viewSize.height() + 2 * m;
    if (arrowOnLeftOrRight(side))
        w += a;
    else
        h += a;

    QPointF viewOrigin(m, m);
    const ArrowEdge edge = arrowEdge(side);
    if (edge == ArrowEdge::Left)
        viewOrigin.rx() += a;
    else if (edge == ArrowEdge::Top)
        viewOrigin.ry() += a;

    const double ax = anchor.x();
    const double ay = anchor.y();
    QPointF origin;
    switch (side) {
    case 0: origin = {ax - w - d, ay - half(h)}; break;
    case 1: origin = {ax - half(w), ay + d}; break;
    case 2: origin = {ax + d, ay - half(h)}; break;
    case 3: origin = {ax - half(w), ay - h - d}; break;
    case 4: origin = {ax - w - d, ay + i - h}; break;
    case 5: origin = {ax - w - d, ay - i}; break;
    case 6: origin = {ax + d, ay + i - h}; break;
    case 7: origin = {ax + d, ay - i}; break;
    case 8: origin = {ax - (w - i), ay - h - d}; break;
    case 9: origin = {ax - i, ay - h - d}; break;
    case 10: origin = {ax - (w - i), ay + d}; break;
    case 11: origin = {ax - i, ay + d}; break;
    default: origin = {ax - half(w), ay + d}; break;
    }
    return {QSizeF(w, h), QRectF(viewOrigin, viewSize), origin};
}

int bestSide(QSizeF viewSize, QPointF anchor, double distance, const Style& style, const QRectF& visible,
             const QRectF& parentFrame, double scale)
{
    const double w = viewSize.width() + 2 * style.viewMargin * scale;
    const double h = viewSize.height() + 2 * style.viewMargin * scale;
    const float o = static_cast<float>(distance + style.arrowHeight * scale);
    const double i = arrowInset(style, scale);
    const double px = anchor.x();
    const double py = anchor.y();
    const QRectF& v = visible;
    const QRectF& r = parentFrame;

    int side = 1;
    if (py + h + o <= v.bottom())
        side = 1;
    else if (px + w + o < v.right())
        side = 2;
    else if (px - w - o >= v.left())
        side = 0;
    else if (py - h - o > v.top())
        side = 3;

    if (side == 0 || side == 2) {
        if (r.bottom() < py + h / 2) {
            if (v.top() < py - h + i)
                side = side == 0 ? 4 : 6;
        } else if (py - h / 2 <= r.top() && py + h - i <= v.bottom()) {
            side = side == 0 ? 5 : 7;
        }
    } else {
        if (r.left() > px - w / 2) {
            if (v.right() > px + w - i)
                side = side == 3 ? 9 : 11;
        } else if (px + w / 2 >= r.right() && px - w + i >= v.left()) {
            side = side == 3 ? 8 : 10;
        }
    }
    return side;
}

QRectF bodyRect(const QRectF& viewFrame, const Style& style, double scale)
{
    const double m = style.viewMargin * scale;
    const QRectF body = viewFrame.adjusted(-m, -m, m, m);
    const double left = std::ceil(body.x() * scale + 0.5);
    const double right = std::floor((body.x() + body.width()) * scale - 0.5);
    const double top = std::ceil(body.y() * scale + 0.5);
    const double bottom = std::floor((body.y() + body.height()) * scale - 0.5);
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QPainterPath backgroundPath(const QRectF& viewFrame, int side, const Style& style, double scale)
{
    const double r = style.cornerRadius * scale;
    const double b = style.arrowBaseWidth * scale;
    const double a = style.arrowHeight * scale;
    const double m = style.viewMargin * scale;
    const QRectF body = viewFrame.adjusted(-m, -m, m, m);
    const QRectF edges = bodyRect(viewFrame, style, scale);
    const double midX = (body.x() + body.width() / 2) * scale;
    const double midY = (body.y() + body.height() / 2) * scale;

    const std::array<QPointF, 4> corner = {edges.topLeft(), edges.topRight(), edges.bottomRight(),
                                           edges.bottomLeft()};
    const std::array<QPointF, 4> dir = {QPointF(1, 0), QPointF(0, 1), QPointF(-1, 0), QPointF(0, -1)};
    const std::array<QPointF, 4> outward = {QPointF(0, -1), QPointF(1, 0), QPointF(0, 1), QPointF(-1, 0)};
    const std::array<double, 4> mid = {midX, midY, midX, midY};

    std::array<double, 4> round{};
    const int square = style.drawsRoundCornerBesideArrow ? -1 : squareCornerBesideArrow(side);
    for (int c = 0; c < 4; ++c)
        round[c] = (r > 0 && c != square) ? r : 0;

    const int arrowEdgeIndex = static_cast<int>(arrowEdge(side));
    // Circle by four cubic segments: control points at this fraction of the radius.
    constexpr double kappa = 0.5522847498;

    QPainterPath path;
    path.moveTo(corner[0] + dir[0] * round[0]);
    for (int e = 0; e < 4; ++e) {
        const int next = (e + 1) % 4;
        const QPointF start = corner[e] + dir[e] * round[e];
        const QPointF end = corner[next] - dir[e] * round[next];
        if (style.hasArrow && e == arrowEdgeIndex && side != kAutomaticSide) {
            QPointF baseStart;
            switch (arrowPlace(side)) {
            case ArrowPlace::EdgeStart: baseStart = start; break;
            case ArrowPlace::EdgeEnd: baseStart = end - dir[e] * b; break;
            case ArrowPlace::Centred: {
                // Put the base's start on the edge, half a base before the centre line.
                const double along = mid[e] - (dir[e].x() + dir[e].y()) * b / 2;
                baseStart = dir[e].x() != 0 ? QPointF(along, start.y()) : QPointF(start.x(), along);
                break;
            }
            }
            path.lineTo(baseStart);
            path.lineTo(baseStart + dir[e] * (b / 2) + outward[e] * a);
            path.lineTo(baseStart + dir[e] * b);
        }
        path.lineTo(end);
        if (round[next] > 0) {
            const QPointF after = corner[next] + dir[next] * round[next];
            path.cubicTo(end + dir[e] * (round[next] * kappa), after - dir[next] * (round[next] * kappa), after);
        }
    }
    path.closeSubpath();
    return path;
}

}  // namespace AttachedGeometry
