#include "Main/Tools/ImageAndTextCell.h"

#include "Main/Tools/CellPicture.h"
#include "Comm/FontCache.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QIcon>
#include <QPainter>
#include <QTextOption>

#include <cmath>

ImageAndTextCell::ImageAndTextCell(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

void ImageAndTextCell::setTitle(const QString& title, qreal size, qreal width)
{
    m_title = title;
    m_size = size;
    m_subWidth = width;
}

QPixmap ImageAndTextCell::imageFor(const QModelIndex& index) const
{
    return cellPicture(index, 24, m_image);
}

QString ImageAndTextCell::titleFor(const QModelIndex& index) const
{
    const QString text = index.data(Qt::DisplayRole).toString();
    return text.isEmpty() ? m_title : text;
}

QColor ImageAndTextCell::colorFor(const QModelIndex& index, const QStyleOptionViewItem& option) const
{
    const QVariant v = index.data(Qt::ForegroundRole);
    if (v.isValid())
        return v.value<QBrush>().color();
    return m_color.isValid() ? m_color : option.palette.color(QPalette::Text);
}

QRect ImageAndTextCell::imageFrameForCellFrame(const QRect& cellFrame, const QModelIndex& index) const
{
    const QPixmap image = imageFor(index);
    if (image.isNull())
        return QRect();
    const QSize size = image.deviceIndependentSize().toSize();
    return QRect(QPoint(cellFrame.x() + 3,
                        cellFrame.y() + static_cast<int>(std::ceil((cellFrame.height() - size.height()) / 2.0))),
                 size);
}

QSize ImageAndTextCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QPixmap image = imageFor(index);
    size.rwidth() += 3 + (image.isNull() ? 0 : image.deviceIndependentSize().toSize().width());
    return size;
}

void ImageAndTextCell::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const
{
    QStyleOptionViewItem trimmed = option;
    const QPixmap image = imageFor(index);
    if (!image.isNull())
        trimmed.rect.setLeft(option.rect.left() + image.deviceIndependentSize().toSize().width() + 3);
    QStyledItemDelegate::updateEditorGeometry(editor, trimmed, index);
}

void ImageAndTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect frame = option.rect;
    const QPixmap image = imageFor(index);
    const QString title = titleFor(index);
    const QColor color = colorFor(index, option);
    const qreal tx = image.isNull() ? frame.x() : frame.x() + 36;
    const qreal width = m_subWidth >= 0 ? m_subWidth : frame.right() + 1 - tx;
    const QRectF textRect(static_cast<float>(tx),
                          static_cast<float>(m_textCentred ? frame.y() + (frame.height() - 17) / 2.0 : frame.y() + 14),
                          width, 17);
    const Qt::Alignment along = Qt::AlignLeft | (m_textCentred ? Qt::AlignVCenter : Qt::AlignTop);

    painter->save();
    if (!title.isEmpty() && m_isOnlyEdit) {
        // "12.3 GB / 500 GB": the used size, before the blank and the
        // separator, in bold; the rest light.
        const int slash = title.indexOf(QLatin1Char('/'));
        const QString used = slash >= 1 ? title.left(slash - 1) : QString();
        const QString rest = slash >= 1 ? title.mid(slash - 1) : title;
        painter->setPen(color);
        qreal x = textRect.x();
        if (!used.isEmpty()) {
            painter->setFont(FontCache::boldFont(12));
            painter->drawText(QRectF(x, textRect.y(), textRect.width(), textRect.height()),
                              along, used);
            x += QFontMetricsF(FontCache::boldFont(12)).horizontalAdvance(used);
        }
        const QFont light = FontCache::lightFont(12);
        painter->setFont(light);
        const qreal room = std::max<qreal>(0, textRect.right() - x);
        painter->drawText(QRectF(x, textRect.y(), room, textRect.height()), along,
                          QFontMetricsF(light).elidedText(rest, Qt::ElideRight, room));
        painter->restore();
        return;
    }
    if (!title.isEmpty()) {
        const QFont light = FontCache::lightFont(m_size > 0 ? m_size : 12);
        painter->setFont(light);
        painter->setPen(color);
        painter->drawText(textRect, along,
                          QFontMetricsF(light).elidedText(title, m_elideMode, textRect.width()));
    }
    QRect rest = frame;
    if (!image.isNull()) {
        const QRect area(frame.x(), frame.y(), 27, frame.height());
        rest.setLeft(area.right() + 1);
        const QVariant background = index.data(Qt::BackgroundRole);
        if (background.isValid())
            painter->fillRect(area, background.value<QBrush>());
        const int y = area.y() - 24 + static_cast<int>(std::ceil((frame.height() + 24) / 2.0));
        painter->drawPixmap(QRect(area.x() + 3, y, 24, 24), image);
    }
    painter->restore();

    // The standard cell drawing for the rest: background and focus only, the
    // title and image are drawn above.
    QStyleOptionViewItem plain = option;
    initStyleOption(&plain, index);
    plain.rect = rest;
    plain.text.clear();
    plain.icon = QIcon();
    plain.features &= ~QStyleOptionViewItem::HasDecoration;
    plain.state &= ~QStyle::State_Selected;
    QStyle* style = plain.widget ? plain.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &plain, painter, plain.widget);
}
