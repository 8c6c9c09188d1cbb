#include "PopWindow/AttachedWindowEngine.h"

#include "PopWindow/Compositor.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
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
    const QRect frame = constrainedFrame(QRectF(l.windowOrigin, l.windowSize).toRect());
    m_windowSize = frame.size();
    m_window->setGeometry(frame);
    if (m_view && m_view->parentWidget() == m_window)
        m_view->setGeometry(m_viewFrame.toRect());
}

void AttachedWindowEngine::updateBackground()
{
    m_path = AttachedGeometry::backgroundPath(m_viewFrame, m_side, m_style);
    applyShape(Compositor::isRunning());
    m_window->update();
}

void AttachedWindowEngine::applyShape(bool composited)
{
    if (composited) {
        if (!m_window->mask().isEmpty())
            m_window->clearMask();
        return;
    }
    // The shape is taken from the body as it is painted, pixel for pixel: a
    // polygon region rounds the corners differently and would keep pixels
    // the fill leaves out, which show black without a compositor.
    QImage body(m_windowSize.isEmpty() ? m_window->size() : m_windowSize, QImage::Format_ARGB32_Premultiplied);
    body.fill(Qt::transparent);
    {
        QPainter painter(&body);
        paintBackground(painter, false);
    }
    m_window->setMask(QRegion(QBitmap::fromImage(body.createAlphaMask())));
}

void AttachedWindowEngine::paintWindow()
{
    QPainter painter(m_window);
    paintBackground(painter, m_window->mask().isEmpty());
}

void AttachedWindowEngine::windowResized(QSize size)
{
    // The resize the layout itself made needs no second layout.
    if (size != m_windowSize)
        redisplay();
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

void AttachedWindowEngine::paintBackground(QPainter& painter, bool composited) const
{
    painter.save();
    QBrush fill = m_fill;
    if (!composited) {
        // Nothing blends a translucent pixel with what lies beneath: it would
        // show darkened, and a soft edge pixel black.
        QColor opaque = fill.color();
        opaque.setAlphaF(1.0);
        fill.setColor(opaque);
    } else {
        painter.setRenderHint(QPainter::Antialiasing);
    }
    painter.setClipPath(m_path);
    painter.fillPath(m_path, fill);
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

void AttachedWindowEngine::setFill(const QBrush& fill)
{
    m_fill = fill;
}

void AttachedWindowEngine::setBackgroundColor(const QColor& color)
{
    if (m_fill.style() == Qt::SolidPattern && color == m_fill.color())
        return;
    m_fill = QBrush(color);
    updateBackground();
}

void AttachedWindowEngine::setBackgroundImage(const QImage& image)
{
    if (image.isNull())
        return;
    m_fill = QBrush(image);
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
