#include "Main/Tools/EUCustomOutlineView.h"

#include "Comm/GetColor.h"
#include "Main/Tools/CustomTableView.h"
#include "ProgressView/RFOverlayScroller.h"

#include <QPainter>
#include <QPainterPath>

EUCustomOutlineView::EUCustomOutlineView(QWidget* parent)
    : QTreeView(parent)
{
    applyDarkListPalette(this);
    RFOverlayScroller::overlay(this);
}

int EUCustomOutlineView::visibleRow(const QModelIndex& index) const
{
    // The outlines using this hold tens of rows, so walking up is cheap.
    int row = -1;
    for (QModelIndex i = index; i.isValid(); i = indexAbove(i))
        ++row;
    return row;
}

void EUCustomOutlineView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath bar;
    // The bar runs as far as the header above it.
    bar.addRoundedRect(QRectF(0, option.rect.y(), viewport()->width(), 40), 8, 8);
    const bool highlighted = m_isSelectRow >= 0 && visibleRow(index) == m_isSelectRow;
    painter->fillPath(bar, highlighted ? QColor(0, 0, 0, 26) : getColor(50, 50, 62, 1));
    painter->restore();
    QTreeView::drawRow(painter, option, index);
}
