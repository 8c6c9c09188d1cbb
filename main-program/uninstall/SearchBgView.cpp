#include "uninstall/SearchBgView.h"

#include <QPainter>

void SearchBgView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(1, 1, 1, 0.16f));
    p.drawRoundedRect(QRectF(0, 0, 194, 24), 4, 4);
}
