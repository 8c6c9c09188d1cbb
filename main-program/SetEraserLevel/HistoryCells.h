#pragma once
#include <QPersistentModelIndex>
#include <QRect>
#include <QSet>
#include <QStyledItemDelegate>

// The history list's cells: a title in the light font, the header row's
// texts dimmed. The "State" cell also carries the export and trash icons of
// the run last clicked.
class HistoryTextFieldCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // A title cut short in its cell shows whole as the cell's tool tip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    static constexpr int kRowHeight = 40;

protected:
    // How wide the title of a cell is drawn.
    virtual int titleWidth(const QRect& cell) const;
    void paintBackground(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    // Draws `title` 8 points in and 11 down, `width` wide.
    static void drawTitle(QPainter* painter, const QRect& cell, const QString& title, int width, bool dimmed);

private:
    // Titles already logged: each once, not at every repaint.
    mutable QSet<QString> m_logged;
};

class HistoryDeleteTextFieldCellDelegate
{
public:
    virtual ~HistoryDeleteTextFieldCellDelegate() = default;
    virtual void clickExportWithDate(const QString&) {}
    virtual void clickDeleteWithDate(const QString&) {}
};

class HistoryDeleteTextFieldCell : public HistoryTextFieldCell
{
    Q_OBJECT
public:
    using HistoryTextFieldCell::HistoryTextFieldCell;

    // The run row (column 0 of its row) whose cell shows the icons; an
    // invalid index shows them nowhere.
    void setShowFolderAndDeleteButton(const QModelIndex& run) { m_shownRun = run; }
    QModelIndex shownRun() const { return m_shownRun; }

    void setCellDelegate(HistoryDeleteTextFieldCellDelegate* delegate) { m_delegate = delegate; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // A press at `pos` in `cell` (the "State" cell of `index`): true when it
    // hit an icon, which then acts unless a hit acted less than 0.2 s ago.
    bool hitTestForEvent(const QPoint& pos, const QRect& cell, const QModelIndex& index);

    static QRect folderImageFrame(const QRect& cell);
    static QRect deleteImageFrame(const QRect& cell);

protected:
    int titleWidth(const QRect& cell) const override;

private:
    bool showsIcons(const QModelIndex& index) const;

    QPersistentModelIndex m_shownRun;
    HistoryDeleteTextFieldCellDelegate* m_delegate = nullptr;
};
