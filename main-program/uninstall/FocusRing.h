#pragma once
#include "ToolCon/KeyRing.h"

#include <QModelIndex>
#include <QPointer>

#include <functional>

class QAbstractItemView;

// The ring around the keyboard's place in a list: the current row, or the
// one cell `rectOf` gives. Drawn over the cells (whatever their delegates
// draw), shown only while the list has the focus, and never in the way of
// the pointer.
class FocusRing : public KeyRing
{
    Q_OBJECT
public:
    // `rectOf` maps the current index to the rectangle to ring, in viewport
    // coordinates; by default the whole row.
    explicit FocusRing(QAbstractItemView* view, std::function<QRect(const QModelIndex&)> rectOf = {});

    // Placed again on the current index (call after a reload).
    void follow();
    // The rectangle ringed now; empty when no ring shows.
    QRect ringRect() const { return isVisible() ? geometry() : QRect(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QAbstractItemView> m_view;
    std::function<QRect(const QModelIndex&)> m_rectOf;
};
