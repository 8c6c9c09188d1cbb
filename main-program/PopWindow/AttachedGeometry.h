#pragma once
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

// Pure geometry shared by both attached windows. Coordinates are Qt's: y grows
// downwards, so "below" means a larger y. A side names where the window lies
// relative to its anchor point; the arrow sits on the edge facing the point.
//
//  side  window lies  arrow edge  anchor along that edge
//   0    left         right       centred
//   1    below        top         centred
//   2    right        left        centred
//   3    above        bottom      centred
//   4/5  left         right       near the bottom / top corner
//   6/7  right        left        near the bottom / top corner
//   8/9  above        bottom      near the right / left corner
//  10/11 below        top         near the right / left corner
//  12    automatic, resolved by bestSide() at creation
namespace AttachedGeometry {

constexpr int kAutomaticSide = 12;

struct Style
{
    double borderWidth = 1;
    double viewMargin = 2;
    double arrowBaseWidth = 0;
    double arrowHeight = 0;
    double cornerRadius = 4;
    bool hasArrow = true;
    bool drawsRoundCornerBesideArrow = true;
};

struct Layout
{
    QSizeF windowSize;
    QRectF viewFrame;      // inside the window
    QPointF windowOrigin;  // in screen coordinates
};

enum class ArrowEdge { Top, Right, Bottom, Left };
ArrowEdge arrowEdge(int side);

// How far along its edge the arrow's tip sits from a corner-placed anchor.
double arrowInset(const Style& style, double scale);

// Window size, view frame and window origin for a view of `viewSize` whose
// anchor is `anchor` (screen coordinates).
Layout layout(QSizeF viewSize, QPointF anchor, int side, double distance, const Style& style,
              double scale = 1.0);

// The side that keeps the window on `visible` (the screen's available area),
// refined to a corner variant when the centred window would leave `parentFrame`.
int bestSide(QSizeF viewSize, QPointF anchor, double distance, const Style& style,
             const QRectF& visible, const QRectF& parentFrame, double scale = 1.0);

// The body grown from the view frame by the margin, with pixel-aligned edges.
QRectF bodyRect(const QRectF& viewFrame, const Style& style, double scale = 1.0);

// The rounded body outline with the arrow (when drawn), clockwise from the top left.
QPainterPath backgroundPath(const QRectF& viewFrame, int side, const Style& style,
                            double scale = 1.0);

}  // namespace AttachedGeometry
