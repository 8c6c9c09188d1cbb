#include "WipeDisk/StepLineView.h"

#include "Comm/GetColor.h"

#include <QPainter>

StepLineView::StepLineView(QWidget* parent) : QWidget(parent) {}

QColor StepLineView::lineColor() const
{
    return m_isRuned ? getColor(18, 115, 239, 1) : getColor(32, 32, 39, 1);
}

void StepLineView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), lineColor());
}
