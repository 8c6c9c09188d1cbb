#pragma once
#include <QWidget>

// First Aid's bar: a dark rounded track with the done part in blue.
class AidProgress : public QWidget
{
    Q_OBJECT
public:
    explicit AidProgress(QWidget* parent = nullptr);

    // `percent` of the width; within a point of the end it fills the track.
    void changeProgressValue(float percent);
    float used() const { return m_used; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    float m_used = 0;
};
