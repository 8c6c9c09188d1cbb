#include "Main/BackgroundViews.h"

#include "Comm/GetColor.h"

#include <QLinearGradient>
#include <QPainter>

void MainLeftBgView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QLinearGradient g(0, height(), 0, 0);
    g.setColorAt(0, getColor(39, 39, 48, 1));
    g.setColorAt(1, getColor(50, 50, 62, 1));
    p.fillRect(rect(), g);
}

void RightBgView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), getColor(50, 50, 62, 1));
}
