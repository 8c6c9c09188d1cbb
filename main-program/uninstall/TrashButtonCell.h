#pragma once
#include <QStyledItemDelegate>

#include <functional>

// The trash button of a row: the model's picture centred in the cell; a
// click on it names the row clicked.
class TrashButtonCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit TrashButtonCell(std::function<void(const QModelIndex&)> clicked, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), m_clicked(std::move(clicked))
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    std::function<void(const QModelIndex&)> m_clicked;
};
