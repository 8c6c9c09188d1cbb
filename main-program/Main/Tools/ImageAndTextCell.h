#pragma once
#include <QColor>
#include <QPixmap>
#include <QStyledItemDelegate>

// An icon and a title; in size mode (the drive wiper's size column) a
// "used / total" text whose used part is bold. The model's display,
// decoration and foreground roles win over the values set on the cell.
class ImageAndTextCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ImageAndTextCell(QObject* parent = nullptr);

    // `size` is the title's font size (12 when not set), `width` its text width.
    void setTitle(const QString& title, qreal size, qreal width);
    // Held by value: the cell may be drawn long after the caller's colour is gone.
    void setColor(const QColor& color) { m_color = color; }
    void setOnlyEdit(bool onlyEdit) { m_isOnlyEdit = onlyEdit; }
    // Where a title too long for the cell loses its characters (the end by default).
    void setElideMode(Qt::TextElideMode mode) { m_elideMode = mode; }
    // The text centred on the row's middle, level with a tick or an icon
    // centred there, rather than at its fixed offset from the row's top.
    void setTextCentred(bool centred) { m_textCentred = centred; }
    bool textCentred() const { return m_textCentred; }
    void setImage(const QPixmap& image) { m_image = image; }
    QPixmap image() const { return m_image; }
    QString title() const { return m_title; }
    QColor color() const { return m_color; }
    qreal subWidth() const { return m_subWidth; }
    bool isOnlyEdit() const { return m_isOnlyEdit; }

    QRect imageFrameForCellFrame(const QRect& cellFrame, const QModelIndex& index = {}) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    QPixmap imageFor(const QModelIndex& index) const;
    QString titleFor(const QModelIndex& index) const;
    QColor colorFor(const QModelIndex& index, const QStyleOptionViewItem& option) const;

    QPixmap m_image;
    QString m_title;
    QColor m_color;
    qreal m_size = 0;
    qreal m_subWidth = -1;  // below 0: up to the cell's right edge
    bool m_isOnlyEdit = false;
    Qt::TextElideMode m_elideMode = Qt::ElideRight;
    bool m_textCentred = false;
};
