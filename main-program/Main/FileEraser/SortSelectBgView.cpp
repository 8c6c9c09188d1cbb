#include "Main/FileEraser/SortSelectBgView.h"

#include "Comm/GetColor.h"

#include <QPaintEvent>
#include <QPainter>

SortSelectBgView::SortSelectBgView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
}

void SortSelectBgView::enterEvent(QEnterEvent*)
{
    m_isMouseIn = true;
    update();
}

void SortSelectBgView::leaveEvent(QEvent*)
{
    m_isMouseIn = false;
    update();
}

void SortSelectBgView::setHighlighted(bool on)
{
    m_isMouseIn = on;
    update();
}

void SortSelectBgView::mousePressEvent(QMouseEvent*)
{
    if (m_delegate)
        m_delegate->selectSortType(this);
}

void SortSelectBgView::paintEvent(QPaintEvent* event)
{
    if (!m_isMouseIn || !isEnabled())
        return;
    QPainter painter(this);
    painter.fillRect(event->rect(), getColor(10, 132, 255, 1));
}
