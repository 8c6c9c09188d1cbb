#pragma once
#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>

class QAbstractItemView;
class QKeyEvent;
class QWidget;

// Makes an item view a list a keyboard user can work: Tab reaches it, the
// focused row wears a ring while the list has the keyboard, Up and Down
// (Home, End, Page Up, Page Down) move that row, Space ticks or chooses it,
// Return and Enter act as a double click would, and the menu key (or
// Shift+F10) asks for the row's context menu. A click moves the focused
// row to the clicked one. The focused row outlives a reset of the model,
// so a list that reloads in place keeps its place.
//
// Any screen's list can take it: install once, after the view has its model.
class ListKeys : public QObject
{
    Q_OBJECT
public:
    struct Actions
    {
        std::function<void(int row)> toggle;    // Space
        std::function<void(int row)> activate;  // Return, Enter
        std::function<void(int row, const QRect& rowRect)> contextMenu;  // rect in the viewport
        // Where the ring goes for `row`, in the viewport; the whole row when empty.
        std::function<QRect(int row)> ringRect;
    };

    // The helper lives as long as `view` (it is its child).
    static ListKeys* install(QAbstractItemView* view, Actions actions);
    static ListKeys* of(const QAbstractItemView* view);

    // -1 when the list is empty.
    int focusedRow() const { return m_row; }
    void setFocusedRow(int row);
    // The ring's widget (inside the viewport); shown only while the list has
    // the keyboard focus and a row.
    QWidget* ring() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ListKeys(QAbstractItemView* view, Actions actions);
    bool handleKey(QKeyEvent* key);
    int rowCount() const;
    QRect rowRect(int row) const;
    void placeRing();

    QPointer<QAbstractItemView> m_view;
    Actions m_actions;
    QPointer<QWidget> m_ring;
    int m_row = -1;
};
