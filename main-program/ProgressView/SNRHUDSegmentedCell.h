#pragma once
#include <QIcon>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <QVector>
#include <QWidget>

// A dark heads-up segmented control: one selected segment among several,
// each with a label and an optional image.
class SNRHUDSegmentedCell : public QWidget
{
    Q_OBJECT
public:
    explicit SNRHUDSegmentedCell(QWidget* parent = nullptr);

    void setSegmentCount(int count);
    int segmentCount() const { return m_segments.size(); }
    void setLabel(int segment, const QString& label);
    void setImage(int segment, const QIcon& image);
    // 0 shares the width evenly.
    void setWidth(int segment, qreal width);
    void setSegmentEnabled(int segment, bool enabled);
    bool isSegmentEnabled(int segment) const;
    void setSelectedSegment(int segment);
    int selectedSegment() const { return m_selected; }

    // The segments' rectangles within the outline drawn in `frame`.
    QVector<QRectF> segmentRects(const QRectF& frame) const;
    QSize sizeHint() const override;

signals:
    void segmentSelected(int segment);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Segment
    {
        QString label;
        QIcon image;
        qreal width = 0;
        bool enabled = true;
    };

    static QRectF outlineFrame(const QRectF& frame);
    QPainterPath drawBackground(QPainter& painter, const QRectF& frame) const;
    void drawSegment(QPainter& painter, int segment, const QRectF& frame) const;
    void drawInterior(QPainter& painter, int segment, const QRectF& frame) const;

    QVector<Segment> m_segments;
    int m_selected = -1;
    int m_pressed = -1;
};
