#pragma once
#include <QWidget>

// The connector between two steps of the step indicator: dark until the step
// before it has run, then blue.
class StepLineView : public QWidget
{
    Q_OBJECT
public:
    explicit StepLineView(QWidget* parent = nullptr);

    bool isRuned() const { return m_isRuned; }
    // No redisplay of its own: the indicator asks for one.
    void setIsRuned(bool runed) { m_isRuned = runed; }
    QColor lineColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_isRuned = false;
};
