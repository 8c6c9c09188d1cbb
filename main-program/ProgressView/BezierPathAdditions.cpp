#include "ProgressView/BezierPathAdditions.h"

#include <QPainter>

#include <cmath>

void fillWithInnerShadow(QPainter& painter, const QPainterPath& path, const InnerShadow& shadow)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(path, Qt::IntersectClip);
    const qreal r = std::max<qreal>(shadow.blurRadius, 0);
    const QRectF bounds = path.boundingRect().adjusted(-(std::abs(shadow.offset.x()) + r) - 1,
                                                       -(std::abs(shadow.offset.y()) + r) - 1,
                                                       std::abs(shadow.offset.x()) + r + 1,
                                                       std::abs(shadow.offset.y()) + r + 1);
    // The surround of the path, moved by the offset; the blur is approximated
    // by layering ever wider, fainter strokes of its inner edge.
    QPainterPath surround;
    surround.setFillRule(Qt::OddEvenFill);
    surround.addRect(bounds);
    surround.addPath(path);
    surround.translate(shadow.offset);
    const int steps = std::max(1, static_cast<int>(std::ceil(r)));
    QColor c = shadow.color;
    c.setAlphaF(shadow.color.alphaF() / steps);
    for (int i = steps; i >= 1; --i)
        painter.strokePath(surround, QPen(c, r > 0 ? 2.0 * i : 0.0));
    painter.fillPath(surround, shadow.color);
    painter.restore();
}
