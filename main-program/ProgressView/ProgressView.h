#pragma once
#include <QWidget>

class ProgressBar;

// The flat progress track used by every long-running task. The track and the
// bar are 16 high, along the view's bottom edge.
class ProgressView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kBarHeight = 16;

    explicit ProgressView(QWidget* parent = nullptr);

    // A percentage of 0-100. Within 1 pt of full the bar fills the track; it
    // never leaves the track, and a NaN or negative value draws it empty.
    void changeProgressValue(float percent);

    ProgressBar* pProgress1() const { return m_bar; }
    // The bar width a percentage gives on a track of `trackWidth`.
    static float barWidth(float trackWidth, float percent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeBar();

    ProgressBar* m_bar;
    float m_percent = 0;
};
