#pragma once
#include <QTableView>

class QMouseEvent;

class CustomTableViewDelegate
{
public:
    virtual ~CustomTableViewDelegate() = default;
    virtual void listRightMouseDown(QMouseEvent* event) { (void)event; }
};

// The dark table: a rounded bar under every row, a lighter bar under the
// highlighted row `rowNum`, no system selection, the flat header, and right
// clicks handed to the list delegate instead of a context menu.
class CustomTableView : public QTableView
{
    Q_OBJECT
public:
    static constexpr int kHeaderHeight = 25;

    explicit CustomTableView(QWidget* parent = nullptr);

    // Restyles every column title; run again after a title changes.
    void setupHeaderCell();

    // Stores the highlighted row; the owner redraws the table itself.
    void setRowNum(int row) { m_rowNum = row; }
    // Stores the highlighted row and redraws.
    void setSelectNum(int row);
    int rowNum() const { return m_rowNum; }

    void setListDelegate(CustomTableViewDelegate* delegate) { m_listDelegate = delegate; }
    CustomTableViewDelegate* listDelegate() const { return m_listDelegate; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    int m_rowNum = -1;
    CustomTableViewDelegate* m_listDelegate = nullptr;
};

// Palette for the dark lists: the selection paints nothing.
void applyDarkListPalette(QAbstractItemView* view);
