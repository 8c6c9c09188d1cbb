#pragma once
#include "PopWindow/AttachedWindowEngine.h"

#include <QWidget>

// Told when the drop-down loses key focus. Optional.
class MAAttachedWindowDelegate
{
public:
    virtual ~MAAttachedWindowDelegate() = default;
    virtual void closeMattachedWindow() {}
};

// The light drop-down window shown beside a button. It stays above its parent
// window and follows it when that window moves; it never grabs the mouse.
// Openers use AttachedDropDown, which owns the window and decides when it closes.
class MAAttachedWindow : public QWidget, public AttachedWindowEngine
{
    Q_OBJECT
public:
    // `view` must not be null. `point` is in `parentWindow`'s coordinates, or
    // in screen coordinates when there is no parent window. The alpha has no effect.
    MAAttachedWindow(QWidget* view, QPointF point, QWidget* parentWindow = nullptr,
                     int side = AttachedGeometry::kAutomaticSide, double distance = 0, double bgAlpha = 0);
    ~MAAttachedWindow() override;

    void setMattachedWDelegate(MAAttachedWindowDelegate* delegate) { m_delegate = delegate; }
    MAAttachedWindowDelegate* mattachedWDelegate() const { return m_delegate; }

protected:
    // A drop-down never reaches past its parent window's edges.
    QRect constrainedFrame(const QRect& frame) const override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MAAttachedWindowDelegate* m_delegate = nullptr;
};
