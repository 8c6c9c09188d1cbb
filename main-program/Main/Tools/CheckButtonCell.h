#pragma once
#include <QPixmap>
#include <QStyledItemDelegate>

#include <functional>

class CheckButtonCell;

class CheckButtonCellDelegate
{
public:
    virtual ~CheckButtonCellDelegate() = default;
    // `index` names the row clicked: one cell draws every row of its column.
    virtual void clickButtonAction(CheckButtonCell* cell, const QModelIndex& index)
    {
        (void)cell;
        (void)index;
    }
};

// The tick box of a row: a 16-pt picture at x 23, clickable within a 20-pt
// square around it. Across all check cells, at most one click per 0.2 s reaches a
// delegate; a second click within that time is dropped, not queued.
class CheckButtonCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr qint64 kClickGapMs = 200;
    // Milliseconds on a monotonic clock.
    using Clock = std::function<qint64()>;

    explicit CheckButtonCell(QObject* parent = nullptr);

    // The picture; the model's decoration role wins over it.
    void setImage(const QPixmap& image) { m_image = image; }
    QPixmap image() const { return m_image; }
    void setDelegate(CheckButtonCellDelegate* delegate) { m_delegate = delegate; }
    CheckButtonCellDelegate* delegate() const { return m_delegate; }

    static QRect hitSquare(const QRect& cellFrame);
    // An empty clock restores the steady clock. Also forgets the last click.
    static void setClock(Clock clock);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    QPixmap m_image;
    CheckButtonCellDelegate* m_delegate = nullptr;
};
