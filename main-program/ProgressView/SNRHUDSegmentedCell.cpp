#include "ProgressView/SNRHUDSegmentedCell.h"

#include "ProgressView/BezierPathAdditions.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

QColor white(qreal level, qreal alpha = 1.0)
{
    return QColor::fromRgbF(level, level, level, alpha);
}

// A top-to-bottom gradient, as the angle-270 gradients of the design run.
QLinearGradient vertical(const QRectF& r, const QColor& top, const QColor& bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

}  // namespace

SNRHUDSegmentedCell::SNRHUDSegmentedCell(QWidget* parent)
    : QWidget(parent)
{
}

void SNRHUDSegmentedCell::setSegmentCount(int count)
{
    m_segments.resize(std::max(count, 0));
    if (m_selected >= m_segments.size())
        m_selected = -1;
    update();
}

void SNRHUDSegmentedCell::setLabel(int segment, const QString& label)
{
    if (segment >= 0 && segment < m_segments.size()) {
        m_segments[segment].label = label;
        update();
    }
}

void SNRHUDSegmentedCell::setImage(int segment, const QIcon& image)
{
    if (segment >= 0 && segment < m_segments.size()) {
        m_segments[segment].image = image;
        update();
    }
}

void SNRHUDSegmentedCell::setWidth(int segment, qreal width)
{
    if (segment >= 0 && segment < m_segments.size()) {
        m_segments[segment].width = width;
        update();
    }
}

void SNRHUDSegmentedCell::setSegmentEnabled(int segment, bool enabled)
{
    if (segment >= 0 && segment < m_segments.size()) {
        m_segments[segment].enabled = enabled;
        update();
    }
}

bool SNRHUDSegmentedCell::isSegmentEnabled(int segment) const
{
    return segment >= 0 && segment < m_segments.size() && m_segments[segment].enabled;
}

void SNRHUDSegmentedCell::setSelectedSegment(int segment)
{
    m_selected = (segment >= 0 && segment < m_segments.size()) ? segment : -1;
    update();
}

QSize SNRHUDSegmentedCell::sizeHint() const
{
    return QSize(std::max<qsizetype>(1, m_segments.size()) * 80, 24);
}

QRectF SNRHUDSegmentedCell::outlineFrame(const QRectF& frame)
{
    QRectF f = frame.adjusted(0.5, 0.5, -0.5, -0.5);
    f.setHeight(f.height() - 1);
    return f;
}

QVector<QRectF> SNRHUDSegmentedCell::segmentRects(const QRectF& frame) const
{
    QVector<QRectF> rects;
    const qsizetype n = m_segments.size();
    if (n == 0)
        return rects;
    const QRectF inset = outlineFrame(frame);
    qreal x = inset.x();
    for (qsizetype j = 0; j < n; ++j) {
        qreal w = m_segments[j].width;
        if (w == 0)
            w = (inset.width() - 3.0 * (n - 1)) / n;
        if (j != n - 1)
            w += 3;
        rects.append(QRectF(x, inset.y(), w, inset.height()));
        x += w;
    }
    return rects;
}

QPainterPath SNRHUDSegmentedCell::drawBackground(QPainter& painter, const QRectF& frame) const
{
    QPainterPath outline;
    outline.addRoundedRect(frame, 3, 3);
    painter.fillPath(outline, vertical(frame, white(0.22), white(0.15)));

    painter.save();
    // The faint white shadow below the outline.
    painter.strokePath(outline.translated(0, 1), QPen(white(1, 0.05), 1));
    painter.strokePath(outline, QPen(Qt::black, 1));
    painter.restore();

    painter.save();
    painter.setClipPath(outline);
    QRectF highlight = frame.adjusted(-0.5, 1, 0.5, -1);
    highlight.setHeight(highlight.height() * 2);
    QPainterPath inner;
    inner.addRoundedRect(highlight, 3, 3);
    painter.strokePath(inner, QPen(white(1, 0.05), 1));
    painter.restore();
    return outline;
}

void SNRHUDSegmentedCell::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.5);
    const QRectF frame = outlineFrame(QRectF(rect()));
    const QPainterPath outline = drawBackground(painter, frame);
    if (m_segments.isEmpty())
        return;
    painter.setClipPath(outline);
    const QVector<QRectF> rects = segmentRects(QRectF(rect()));
    for (int j = 0; j < rects.size(); ++j) {
        painter.save();
        if (isEnabled() && !m_segments[j].enabled)
            painter.setOpacity(0.5);
        drawSegment(painter, j, rects[j]);
        painter.restore();
    }
}

void SNRHUDSegmentedCell::drawSegment(QPainter& painter, int segment, const QRectF& frame) const
{
    const bool selected = segment == m_selected;
    if (selected) {
        painter.fillRect(frame, vertical(frame, white(0.12), white(0.13)));
        QPainterPath path;
        path.addRect(frame);
        fillWithInnerShadow(painter, path, InnerShadow{Qt::black, QPointF(0, 1), 3});
    }
    drawInterior(painter, segment, frame);
    if (segment == m_pressed && m_segments[segment].enabled && isEnabled())
        painter.fillRect(frame, QColor(0, 0, 0, 77));
    const bool last = segment == m_segments.size() - 1;
    if (!selected && !last && segment + 1 != m_selected) {
        const qreal x = std::round(frame.x() + frame.width() - 1);
        painter.fillRect(QRectF(x, frame.y(), 1, frame.height()), white(1, 0.05));
        const QRectF left = QRectF(x - 1, frame.y(), 1, frame.height()).toAlignedRect();
        painter.fillRect(left, vertical(left, white(0.16), white(0.12)));
    }
}

void SNRHUDSegmentedCell::drawInterior(QPainter& painter, int segment, const QRectF& frame) const
{
    const Segment& s = m_segments[segment];
    const bool selected = segment == m_selected;
    QFont font = this->font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const qreal labelWidth = metrics.horizontalAdvance(s.label);

    QRectF labelRect;
    if (!s.image.isNull()) {
        QSizeF imageSize = s.image.actualSize(QSize(64, 64));
        const qreal maxHeight = frame.height() - 10;
        if (imageSize.height() > maxHeight && maxHeight > 0)
            imageSize.scale(imageSize.width(), maxHeight, Qt::KeepAspectRatio);
        const qreal imageX = std::round(frame.center().x() - (labelWidth + imageSize.width() + 5) / 2);
        const qreal imageY = std::round(frame.center().y() - imageSize.height() / 2);
        s.image.paint(&painter, QRectF(QPointF(imageX, imageY), imageSize).toRect(), Qt::AlignCenter,
                      selected ? QIcon::Selected : QIcon::Normal);
        labelRect = QRectF(imageX + imageSize.width() + 5, frame.y(), labelWidth, frame.height());
    } else {
        labelRect = QRectF(frame.center().x() - labelWidth / 2, frame.y(), labelWidth, frame.height());
    }
    labelRect = labelRect.toAlignedRect();
    // Text shadow: below the label when selected, above it otherwise.
    painter.setPen(QColor(0, 0, 0, 128));
    painter.drawText(labelRect.translated(0, selected ? 1 : -1), Qt::AlignCenter, s.label);
    painter.setPen(selected ? white(1) : white(0.7));
    painter.drawText(labelRect, Qt::AlignCenter, s.label);
}

void SNRHUDSegmentedCell::mousePressEvent(QMouseEvent* event)
{
    m_pressed = -1;
    const QVector<QRectF> rects = segmentRects(QRectF(rect()));
    for (int j = 0; j < rects.size(); ++j)
        if (rects[j].contains(event->position()))
            m_pressed = j;
    update();
}

void SNRHUDSegmentedCell::mouseReleaseEvent(QMouseEvent* event)
{
    const int pressed = m_pressed;
    m_pressed = -1;
    if (pressed >= 0 && isSegmentEnabled(pressed) && segmentRects(QRectF(rect()))[pressed].contains(event->position())) {
        setSelectedSegment(pressed);
        emit segmentSelected(pressed);
    }
    update();
}
