#pragma once
#include <QColor>
#include <QWidget>

// A see-through strip; its background colour is kept for its owners but not painted.
class MLGlassView : public QWidget
{
    Q_OBJECT
public:
    explicit MLGlassView(QWidget* parent = nullptr);
    MLGlassView(const QRect& frame, QWidget* parent);

    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color) { m_backgroundColor = color; }

protected:
    void commonInit();

private:
    QColor m_backgroundColor;
};
