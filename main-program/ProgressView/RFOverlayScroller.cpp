#include "ProgressView/RFOverlayScroller.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionSlider>
#include <QTimer>

#include <typeinfo>

RFOverlayScroller::RFOverlayScroller(QWidget* parent)
    : QScrollBar(Qt::Vertical, parent), m_fadeTimer(new QTimer(this))
{
    m_fadeTimer->setSingleShot(true);
    m_fadeTimer->setInterval(1500);
    connect(m_fadeTimer, &QTimer::timeout, this, &RFOverlayScroller::fadeOut);
    setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

bool RFOverlayScroller::isCompatibleWithOverlayScrollers() const
{
    return typeid(*this) == typeid(RFOverlayScroller);
}

QSize RFOverlayScroller::sizeHint() const
{
    return QSize(kScrollerWidth, QScrollBar::sizeHint().height());
}

void RFOverlayScroller::fadeOut()
{
    m_alpha = 1.0;
    update();
}

void RFOverlayScroller::sliderChange(SliderChange change)
{
    QScrollBar::sliderChange(change);
    if (change == SliderValueChange) {
        m_alpha = 1.0;
        m_fadeTimer->start();
    }
}

void RFOverlayScroller::enterEvent(QEnterEvent* event)
{
    QScrollBar::enterEvent(event);
    m_alpha = 1.0;
    m_fadeTimer->stop();
    update();
}

void RFOverlayScroller::leaveEvent(QEvent* event)
{
    QScrollBar::leaveEvent(event);
    fadeOut();
}

void RFOverlayScroller::mouseMoveEvent(QMouseEvent* event)
{
    QScrollBar::mouseMoveEvent(event);
    m_alpha = 1.0;
}

void RFOverlayScroller::paintEvent(QPaintEvent*)
{
    // No track: only the knob, over whatever content lies below.
    if (maximum() <= minimum())
        return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect knob = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    if (knob.isEmpty())
        return;
    const QRectF inset = QRectF(knob).adjusted(3, 0, -3, 0);
    QPainterPath path;
    path.addRoundedRect(QRectF(inset.x(), inset.y(), 8, knob.height()), 5, 5);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_alpha);
    painter.fillPath(path, QColor(255, 255, 255, 51));
    painter.strokePath(path, QPen(QColor(0, 0, 0, 26), 1));
}
