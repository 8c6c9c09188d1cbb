#pragma once
#include <QScrollBar>

class QAbstractScrollArea;
class QTimer;

// A vertical scroller with no track and a thin translucent knob, floated over
// the content by RFOverlayScrollView.
class RFOverlayScroller : public QScrollBar
{
    Q_OBJECT
public:
    static constexpr int kScrollerWidth = 14;

    explicit RFOverlayScroller(QWidget* parent = nullptr);

    // Gives `list` this scroller in place of its native one: the content
    // keeps the full width and the knob floats over its right edge, below
    // any header, following the list wherever it is moved or resized. The
    // one line a list needs; a second call returns the first scroller.
    static RFOverlayScroller* overlay(QAbstractScrollArea* list);
    // The overlay scroller `list` was given, if any.
    static RFOverlayScroller* of(const QAbstractScrollArea* list);

    // Only this class itself draws the overlay knob; subclasses answer no.
    virtual bool isCompatibleWithOverlayScrollers() const;
    // The knob stays fully visible: fading ends at full opacity.
    void fadeOut();
    qreal knobAlpha() const { return m_alpha; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void sliderChange(SliderChange change) override;

private:
    QTimer* m_fadeTimer;
    qreal m_alpha = 1.0;
};
