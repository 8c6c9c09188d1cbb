#include "Main/Tools/ImageTextCell.h"

#include "Comm/GetColor.h"
#include "Main/Tools/CellPicture.h"
#include "Comm/FontCache.h"

#include <QFontMetricsF>
#include <QIcon>
#include <QPainter>

ImageTextCell::ImageTextCell(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QRectF ImageTextCell::primaryRect(const QRectF& frame, bool hasSecondary)
{
    return QRectF(frame.x() + frame.height() - 2, frame.y() + (hasSecondary ? 5 : 14), 260, 20);
}

QRectF ImageTextCell::secondaryRect(const QRectF& frame)
{
    return QRectF(frame.x() + frame.height() - 2, frame.y() + frame.height() / 2 - 3, 200, 20);
}

QRectF ImageTextCell::iconRect(const QRectF& frame)
{
    return QRectF(frame.x() + 5, frame.y() + frame.height() - 9 - 32, 32, 32);
}

void ImageTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRectF frame(option.rect);
    QString primary = index.data(Qt::DisplayRole).toString();
    if (primary.isEmpty())
        primary = m_primaryTextKeyPath;
    QString secondary = index.data(SecondaryTextRole).toString();
    if (secondary.isEmpty())
        secondary = m_secondaryTextKeyPath;
    const QPixmap icon = cellPicture(index, 32, m_iconImage);

    painter->save();
    if (!primary.isEmpty()) {
        const QFont font = FontCache::regularFont(14);
        const QRectF r = primaryRect(frame, !secondary.isEmpty());
        painter->setFont(font);
        painter->setPen(getColor(249, 249, 250, 1));
        painter->drawText(r, Qt::AlignLeft | Qt::AlignTop, QFontMetricsF(font).elidedText(primary, Qt::ElideRight, r.width()));
    }
    if (!secondary.isEmpty()) {
        const QFont font = FontCache::lightFont(12);
        const QRectF r = secondaryRect(frame);
        painter->setFont(font);
        painter->setPen(QColor(255, 255, 255, 153));
        painter->drawText(r, Qt::AlignLeft | Qt::AlignTop,
                          QFontMetricsF(font).elidedText(secondary, Qt::ElideRight, r.width()));
    }
    if (!icon.isNull()) {
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawPixmap(iconRect(frame).toRect(), icon);
    }
    painter->restore();
}
