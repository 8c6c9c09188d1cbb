#pragma once
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

class QLabel;

// The picture of work going on above a progress bar: a sheet passing into a
// shredder, in strips. It draws into a label and runs only while the label
// is on the screen.
class ActivityAnimation : public QObject
{
    Q_OBJECT
public:
    static constexpr int kFrameCount = 12;
    static constexpr int kFrameMs = 90;

    // Owned by the label; replaces what the label showed.
    static ActivityAnimation* attach(QLabel* label);

    int frame() const { return m_frame; }
    bool isRunning() const { return m_timer.isActive(); }
    // One frame at the given size, for the label and for tests.
    static QPixmap frameImage(int frame, QSize size, qreal ratio = 1.0);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ActivityAnimation(QLabel* label);
    void step();
    void show();

    QPointer<QLabel> m_label;
    QTimer m_timer;
    int m_frame = 0;
};
