#pragma once
#include "TopView/MLGlassView.h"

#include <QPointer>
#include <optional>

class StandardWindowButton;

// A strip carrying the window's three buttons in a row or a column; the
// pointer entering or leaving the buttons' area posts the shared hover signal.
class MLToolbar : public MLGlassView
{
    Q_OBJECT
public:
    explicit MLToolbar(QWidget* parent = nullptr);
    MLToolbar(const QRect& frame, QWidget* parent);

    StandardWindowButton* closeButton() const { return m_closeButton; }
    StandardWindowButton* minimizeButton() const { return m_minimizeButton; }
    StandardWindowButton* maximizeButton() const { return m_maximizeButton; }

    bool verticalButtons() const { return m_verticalButtons; }
    bool hiddenButtons() const { return m_hiddenButtons; }
    bool justClose() const { return m_justClose; }
    void setVerticalButtons(bool vertical);
    void setHiddenButtons(bool hidden);
    void setJustClose(bool justClose);

    // The area whose entering and leaving is signalled; none while the buttons are hidden.
    std::optional<QRect> trackingArea() const { return m_trackingArea; }

    // The pointer moved to `pos` (toolbar coordinates) or left the strip (nullopt).
    void pointerAt(std::optional<QPoint> pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void commonInit();
    void layOutRow();
    void createTrackingArea();
    void mouseEntered();
    void mouseExited();

    QPointer<StandardWindowButton> m_closeButton;
    QPointer<StandardWindowButton> m_minimizeButton;
    QPointer<StandardWindowButton> m_maximizeButton;
    bool m_verticalButtons = false;
    bool m_hiddenButtons = false;
    bool m_justClose = false;
    std::optional<QRect> m_trackingArea;
    bool m_pointerInside = false;
};
