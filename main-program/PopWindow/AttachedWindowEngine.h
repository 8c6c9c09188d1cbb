#pragma once
#include "PopWindow/AttachedGeometry.h"

#include <QColor>
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

    QColor windowBackgroundColor() const { return m_fillColor; }
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
    void paintBackground(QPainter& painter) const;
    // Geometry and background again, unless a redisplay is already running.
    void redisplay();
    void updateGeometryNow();
    void updateBackground();
    // A resize only needs a redisplay when it is not the one the layout made.
    bool isLayoutSize(QSize size) const { return size == m_windowSize; }
    QWidget* parentWindow() const { return m_parentWindow; }

    AttachedGeometry::Style m_style;
    QColor m_fillColor;
    QColor m_borderColor;

private:
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
    bool m_resizing = false;
};
