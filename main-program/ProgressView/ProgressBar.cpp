#include "ProgressView/ProgressBar.h"

#include "Comm/GetColor.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

ProgressBar::ProgressBar(QWidget* parent)
    : QWidget(parent)
{
}

void ProgressBar::paintEvent(QPaintEvent*)
{
    if (width() <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0, getColor(31, 167, 242, 1));
    gradient.setColorAt(1, getColor(10, 103, 230, 1));
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 4, 4);
    painter.fillPath(path, gradient);
}
