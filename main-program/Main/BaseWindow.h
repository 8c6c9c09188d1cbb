#pragma once
#include <QWidget>

#include <functional>

// The main window: no system title bar, rounded corners, moved by dragging
// its background. Every close of it, whichever way it comes, is announced
// first through windowWillClose.
class BaseWindow : public QWidget
{
    Q_OBJECT
public:
    explicit BaseWindow(QWidget* parent = nullptr);

    // True from the moment the window has really left the screen for the
    // task bar until it is shown again. Asking for minimised is not enough:
    // without a window manager nothing takes the window away.
    bool isMiniaturized() const { return m_miniaturized; }

    // A press on the background moves the window only once the pointer has
    // gone this far with the button held: a plain click starts nothing.
    static constexpr int kMoveThreshold = 4;
    // Asks the window manager to take over a move; false where none does.
    // Replaceable so that the request itself can be observed.
    void setSystemMoveRequest(std::function<bool()> request) { m_systemMove = std::move(request); }

signals:
    void windowWillClose();
    void windowDidMiniaturize();
    void windowDidDeminiaturize();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void checkMiniaturized();

    QPoint m_dragOffset;
    QPoint m_pressPoint;
    std::function<bool()> m_systemMove;
    bool m_pressed = false;
    bool m_miniaturized = false;
    bool m_watchingWindow = false;
    bool m_dragging = false;
};
