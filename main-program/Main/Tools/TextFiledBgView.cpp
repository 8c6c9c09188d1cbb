#include "Main/Tools/TextFiledBgView.h"

#include <QPainter>
#include <QPainterPath>

TextFiledBgView::TextFiledBgView(QWidget* parent)
    : QWidget(parent)
{
}

void TextFiledBgView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The whole view: a partial repaint must not round the damaged part alone.
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 2, 2);
    painter.fillPath(path, QColor(0, 0, 0, 51));
}
