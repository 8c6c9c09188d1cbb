#pragma once
#include <QPoint>
#include <QWidget>

class TCImageWindow;

// Draws the image window's title bar: white, top corners rounded.
class QZTitlebarView : public QWidget
{
    Q_OBJECT
public:
    explicit QZTitlebarView(QWidget* parent = nullptr);

    // Where and how the title goes, for the given window.
    QRectF titleFrame(const TCImageWindow* window) const;
    // The title's colour: the window's own for its state, white when unset.
    static QColor titleColor(const TCImageWindow* window, bool drawsAsMain);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// Holds the bar view over the top of the window and moves the window when dragged.
class QZTitlebarContainer : public QWidget
{
    Q_OBJECT
public:
    explicit QZTitlebarContainer(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_dragging = false;
    QPoint m_lastPointer;
};
