#pragma once
#include <QColor>
#include <QPainterPath>
#include <QPointF>

class QPainter;

struct InnerShadow
{
    QColor color = Qt::black;
    QPointF offset;
    qreal blurRadius = 0;
};

// Paints a shadow that falls inside `path`, as if the path's outside cast it.
void fillWithInnerShadow(QPainter& painter, const QPainterPath& path, const InnerShadow& shadow);
