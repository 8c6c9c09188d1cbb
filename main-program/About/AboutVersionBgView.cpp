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

UpdateScBgView::UpdateScBgView(QWidget* parent) : RoundedTintView(getColor(0, 0, 0, 0.3f), parent) {}
