#pragma once
#include <QPoint>
#include <QWidget>

// A frameless, translucent top-level window that the user can drag by its
// background. The dialog panel builds on it.
class PopBaseWindow : public QWidget
{
    Q_OBJECT
public:
    explicit PopBaseWindow(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Runs whenever the window closes, by whatever route.
    virtual void windowWillClose();

private:
    QPoint m_dragOffset;
    bool m_dragging = false;
};
