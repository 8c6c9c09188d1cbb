#include "ProgressView/PopBgView.h"

#include <QPainter>
#include <QPainterPath>

PopBgView::PopBgView(QWidget* parent)
    : QWidget(parent)
{
}

void PopBgView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    // The whole view, not just the damaged part: a partial repaint must not
    // draw rounded corners in the middle of the box.
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    painter.fillPath(path, QColor(0, 0, 0, 51));
    painter.strokePath(path, QPen(QColor(255, 255, 255, 51), 1));
}
