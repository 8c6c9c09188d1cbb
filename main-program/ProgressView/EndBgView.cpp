#include "ProgressView/EndBgView.h"

#include "Comm/GetColor.h"

#include <QPainter>

EndBgView::EndBgView(QWidget* parent)
    : QWidget(parent)
{
}

void EndBgView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), getColor(50, 50, 62, 1));
}
