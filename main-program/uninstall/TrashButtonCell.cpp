#include "uninstall/TrashButtonCell.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

void TrashButtonCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QPixmap picture = index.data(Qt::DecorationRole).value<QPixmap>();
    if (picture.isNull())
        return;
    QRect target(QPoint(), picture.size() / picture.devicePixelRatio());
    target.moveCenter(option.rect.center());
    painter->drawPixmap(target, picture);
}

bool TrashButtonCell::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                  const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    QRect hit(0, 0, 24, 24);
    hit.moveCenter(option.rect.center());
    if (mouse->button() == Qt::LeftButton && hit.contains(mouse->position().toPoint()) && m_clicked)
        m_clicked(index);
    return true;
}
