#pragma once
#include "PopWindow/AttachedGeometry.h"

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QPointer>
#include <QWidget>

class QPainter;

// The sizing, placement and background painting that both attached windows
// share. A window inherits it beside its QWidget base and hands itself in.
class AttachedWindowEngine
{
public:
    virtual ~AttachedWindowEngine() = default;

    void setPoint(QPointF point, int side);
    QPointF point() const { return m_point; }
    int side() const { return m_side; }
    double distance() const { return m_distance; }
    QWidget* hostedView() const { return m_view; }
    QRectF viewFrame() const { return m_viewFrame; }
    const AttachedGeometry::Style& style() const { return m_style; }

    // The setters clamp so that the corners and the arrow always fit the body.
    void setBackgroundColor(const QColor& color);
    void setBorderColor(const QColor& color);
    void setBorderWidth(double width);
    void setViewMargin(double margin);
    void setCornerRadius(double radius);
    void setArrowBaseWidth(double width);
    void setArrowHeight(double height);
    void setHasArrow(bool hasArrow);
    void setDrawsRoundCornerBesideArrow(bool rounds);
    // The body is filled with the image, repeated; a null image changes nothing.
    void setBackgroundImage(const QImage& image);

    QColor windowBackgroundColor() const { return m_fill.color(); }
    QBrush windowBackgroundBrush() const { return m_fill; }
    QColor borderColor() const { return m_borderColor; }
    double borderWidth() const { return m_style.borderWidth; }
    double viewMargin() const { return m_style.viewMargin; }
    double cornerRadius() const { return m_style.cornerRadius; }
    double arrowBaseWidth() const { return m_style.arrowBaseWidth; }
    double arrowHeight() const { return m_style.arrowHeight; }
    bool hasArrow() const { return m_style.hasArrow; }
    bool drawsRoundCornerBesideArrow() const { return m_style.drawsRoundCornerBesideArrow; }

    // The anchor in screen coordinates (the parent window's point mapped out).
    QPointF screenAnchor() const;

protected:
    AttachedWindowEngine(QWidget* window, QWidget* view, QWidget* parentWindow, QPointF point, int side,
                         double distance);

    // Creation steps 4-5, run by the window once its defaults are in place.
    void attachView();
    // The window's paint and resize handling, the same for every attached window.
    void paintWindow();
    void windowResized(QSize size);
    // Geometry and background again, unless a redisplay is already running.
    void redisplay();
    void updateGeometryNow();
    void updateBackground();
    QWidget* parentWindow() const { return m_parentWindow; }
    // The window's frame as the geometry gives it; a window may move it (in
    // screen coordinates) before it is applied.
    virtual QRect constrainedFrame(const QRect& frame) const { return frame; }

    AttachedGeometry::Style m_style;
    QColor m_borderColor;

    void setFill(const QBrush& fill);

private:
    void paintBackground(QPainter& painter, bool composited) const;
    // Without a compositor the window is cut to the body's outline; with
    // one, the transparent parts of the window do that job.
    void applyShape(bool composited);

    int automaticSide() const;
    double minViewDimension() const;

    QWidget* m_window;
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_parentWindow;
    QPointF m_point;
    int m_side;
    double m_distance;
    QRectF m_viewFrame;
    QSizeF m_viewSize;
    QSize m_windowSize;
    QPainterPath m_path;
    QBrush m_fill;
    bool m_resizing = false;
};
