#include "PopWindow/AttachedWindowEngine.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>

AttachedWindowEngine::AttachedWindowEngine(QWidget* window, QWidget* view, QWidget* parentWindow, QPointF point,
                                           int side, double distance)
    : m_window(window), m_view(view), m_parentWindow(parentWindow), m_point(point), m_side(side),
      m_distance(distance)
{
    if (view)
        m_viewSize = view->size();
}

QPointF AttachedWindowEngine::screenAnchor() const
{
    if (m_parentWindow)
        return QPointF(m_parentWindow->mapToGlobal(m_point.toPoint())) + (m_point - m_point.toPoint());
    return m_point;
}

int AttachedWindowEngine::automaticSide() const
{
    QScreen* screen = m_parentWindow ? m_parentWindow->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRectF visible = screen ? QRectF(screen->availableGeometry()) : QRectF();
    const QRectF parentFrame = m_parentWindow ? QRectF(m_parentWindow->frameGeometry()) : visible;
    return AttachedGeometry::bestSide(m_viewSize, screenAnchor(), m_distance, m_style, visible, parentFrame);
}

void AttachedWindowEngine::attachView()
{
    if (m_side == AttachedGeometry::kAutomaticSide)
        m_side = automaticSide();
    updateGeometryNow();
    updateBackground();
    if (m_view) {
        m_view->setParent(m_window);
        m_view->setGeometry(m_viewFrame.toRect());
        m_view->show();
    }
}

void AttachedWindowEngine::setPoint(QPointF point, int side)
{
    m_point = point;
    m_side = side == AttachedGeometry::kAutomaticSide ? automaticSide() : side;
    m_window->setUpdatesEnabled(false);
    updateGeometryNow();
    updateBackground();
    m_window->setUpdatesEnabled(true);
}

void AttachedWindowEngine::updateGeometryNow()
{
    if (m_view)
        m_viewSize = m_view->size();
    const AttachedGeometry::Layout l =
        AttachedGeometry::layout(m_viewSize, screenAnchor(), m_side, m_distance, m_style);
    m_viewFrame = l.viewFrame;
    const QRect frame = QRectF(l.windowOrigin, l.windowSize).toRect();
    m_windowSize = frame.size();
    m_window->setGeometry(frame);
    if (m_view && m_view->parentWidget() == m_window)
        m_view->setGeometry(m_viewFrame.toRect());
}

void AttachedWindowEngine::updateBackground()
{
    m_path = AttachedGeometry::backgroundPath(m_viewFrame, m_side, m_style);
    m_window->update();
}

void AttachedWindowEngine::redisplay()
{
    if (m_resizing)
        return;
    m_resizing = true;
    m_window->setUpdatesEnabled(false);
    updateGeometryNow();
    updateBackground();
    m_window->setUpdatesEnabled(true);
    m_resizing = false;
}

void AttachedWindowEngine::paintBackground(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(m_path);
    painter.fillPath(m_path, m_fillColor);
    if (m_style.borderWidth > 0) {
        // Twice the width, clipped to the body: the border shows inside the edge.
        QPen pen(m_borderColor, m_style.borderWidth * 2);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(m_path, pen);
    }
    painter.restore();
}

double AttachedWindowEngine::minViewDimension() const
{
    const QSizeF v = m_viewFrame.isValid() ? m_viewFrame.size() : m_viewSize;
    return std::min(v.width(), v.height());
}

void AttachedWindowEngine::setBackgroundColor(const QColor& color)
{
    if (color == m_fillColor)
        return;
    m_fillColor = color;
    updateBackground();
}

void AttachedWindowEngine::setBorderColor(const QColor& color)
{
    if (color == m_borderColor)
        return;
    m_borderColor = color;
    updateBackground();
}

void AttachedWindowEngine::setBorderWidth(double width)
{
    if (width == m_style.borderWidth)
        return;
    m_style.borderWidth = std::min(width, m_style.viewMargin);
    updateBackground();
}

void AttachedWindowEngine::setViewMargin(double margin)
{
    if (margin == m_style.viewMargin)
        return;
    m_style.viewMargin = std::max(margin, 0.0);
    setCornerRadius(m_style.cornerRadius);
}

void AttachedWindowEngine::setCornerRadius(double radius)
{
    const double most = (2 * m_style.viewMargin + minViewDimension() - m_style.arrowBaseWidth) / 2;
    m_style.cornerRadius = std::max(0.0, std::min(radius, most));
    setArrowBaseWidth(m_style.arrowBaseWidth);
}

void AttachedWindowEngine::setArrowBaseWidth(double width)
{
    double most = 2 * m_style.viewMargin + minViewDimension() - m_style.cornerRadius;
    if (m_style.drawsRoundCornerBesideArrow)
        most -= m_style.cornerRadius;
    m_style.arrowBaseWidth = std::min(width, most);
    redisplay();
}

void AttachedWindowEngine::setArrowHeight(double height)
{
    if (height == m_style.arrowHeight)
        return;
    m_style.arrowHeight = height;
    redisplay();
}

void AttachedWindowEngine::setHasArrow(bool hasArrow)
{
    if (hasArrow == m_style.hasArrow)
        return;
    m_style.hasArrow = hasArrow;
    updateBackground();
}

void AttachedWindowEngine::setDrawsRoundCornerBesideArrow(bool rounds)
{
    if (rounds == m_style.drawsRoundCornerBesideArrow)
        return;
    m_style.drawsRoundCornerBesideArrow = rounds;
    redisplay();
}
