#include "About/AboutVersionBgView.h"

#include "Comm/GetColor.h"

#include <QPainter>
#include <QPainterPath>
#include <QPaintEvent>

void RoundedTintView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(event->rect()), 4, 4);
    p.fillPath(path, m_tint);
}

AboutVersionBgView::AboutVersionBgView(QWidget* parent) : RoundedTintView(getColor(255, 255, 255, 0.2f), parent) {}

// The dark list's own row colour, opaque: the light text of what is new reads
// on it whatever lies behind the panel.
UpdateScBgView::UpdateScBgView(QWidget* parent) : RoundedTintView(getColor(50, 50, 61, 1), parent) {}
