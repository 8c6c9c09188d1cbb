#include "TopView/MLGlassView.h"

MLGlassView::MLGlassView(QWidget* parent) : QWidget(parent)
{
    MLGlassView::commonInit();
}

MLGlassView::MLGlassView(const QRect& frame, QWidget* parent) : QWidget(parent)
{
    setGeometry(frame);
    MLGlassView::commonInit();
}

void MLGlassView::commonInit()
{
    m_backgroundColor = Qt::transparent;
}
