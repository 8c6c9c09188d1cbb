#pragma once
#include "PopWindow/MAAttachedWindow.h"

#include <QObject>
#include <QPointer>

// The opener's side of a drop-down list, shared by every screen that shows
// one. A drop-down closes 2 s after it opens unless the pointer has entered
// it; once entered, it closes when the pointer leaves it or an entry is chosen.
class AttachedDropDown : public QObject
{
    Q_OBJECT
public:
    static constexpr int kAutoCloseMs = 2000;

    explicit AttachedDropDown(QObject* parent = nullptr);
    ~AttachedDropDown() override;

    // Closes any earlier drop-down, then shows `content` (taken over) beside
    // `anchor`, a point in `parentWindow`'s coordinates.
    MAAttachedWindow* open(QWidget* content, QWidget* parentWindow, QPointF anchor, int side = 3,
                           double distance = 0);

    bool isOpen() const { return m_window != nullptr; }
    MAAttachedWindow* window() const { return m_window; }
    // Content controllers that track the pointer themselves report through
    // mouseEixtView(); the window's own enter and leave events do the same.
    // Misleading name kept: true while the timed close still applies (the
    // pointer has not come in), not merely while the drop-down is open.
    bool isPopSortWin() const { return m_isPopSortWin; }

    void setAutoCloseInterval(int ms) { m_autoCloseMs = ms; }
    // Opened by keys: no timed close; it stays until a choice, Escape, or
    // the pointer leaving it once it has come in.
    void keepOpen();

public slots:
    // `left` true: the pointer left, close at once. False: it entered, so the
    // timed close no longer applies.
    void mouseEixtView(bool left);  // (sic) "exit"; told for entering too
    // Closes only while the timed close still applies (the pointer is not inside).
    void closeMattachedWindow();
    // An entry was chosen: close whatever the pointer does.
    void choiceMade();

signals:
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void dismiss();

    QPointer<MAAttachedWindow> m_window;
    bool m_isPopSortWin = false;
    quint64 m_generation = 0;
    int m_autoCloseMs = kAutoCloseMs;
};
