#include "ProgressView/ProgressView.h"

#include "Comm/GetColor.h"
#include "ProgressView/ProgressBar.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

ProgressView::ProgressView(QWidget* parent)
    : QWidget(parent), m_bar(new ProgressBar(this))
{
    placeBar();
}

float ProgressView::barWidth(float trackWidth, float percent)
{
    if (std::isnan(percent) || percent <= 0 || trackWidth <= 0)
        return 0;
    const auto bar = static_cast<float>(static_cast<double>(trackWidth) * (static_cast<double>(percent) / 100.0));
    return trackWidth - 1 < bar ? trackWidth : bar;
}

void ProgressView::changeProgressValue(float percent)
{
    m_percent = percent;
    placeBar();
    update();
}

void ProgressView::placeBar()
{
    const float bar = barWidth(static_cast<float>(width()), m_percent);
    m_bar->setGeometry(0, height() - kBarHeight, qRound(bar), kBarHeight);
    m_bar->update();
}

void ProgressView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The bar keeps its share of the track when the track changes size.
    placeBar();
}

void ProgressView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath track;
    track.addRoundedRect(QRectF(0, height() - kBarHeight, width(), kBarHeight), 4, 4);
    painter.fillPath(track, getColor(32, 32, 39, 1));
}
