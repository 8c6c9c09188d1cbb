#pragma once
#include <QWidget>

// The main window: no system title bar, rounded corners, moved by dragging
// its background. Every close of it, whichever way it comes, is announced
// first through windowWillClose.
class BaseWindow : public QWidget
{
    Q_OBJECT
public:
    explicit BaseWindow(QWidget* parent = nullptr);

signals:
    void windowWillClose();
    void windowDidDeminiaturize();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPoint m_dragOffset;
    bool m_dragging = false;
};
