#include "Main/Tools/CustomTableView.h"

#include "Comm/GetColor.h"
#include "Main/Tools/CustomHeaderCell.h"
#include "ProgressView/RFOverlayScroller.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

void applyDarkListPalette(QAbstractItemView* view)
{
    QPalette palette = view->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Highlight, Qt::transparent);
        palette.setColor(group, QPalette::HighlightedText, palette.color(group, QPalette::Text));
    }
    view->setPalette(palette);
}

CustomTableView::CustomTableView(QWidget* parent)
    : QTableView(parent)
{
    applyDarkListPalette(this);
    RFOverlayScroller::overlay(this);
    setShowGrid(false);
    verticalHeader()->hide();
    setupHeaderCell();
}

void CustomTableView::setupHeaderCell()
{
    // A fresh header resets every column's sort state; the old one is deleted.
    auto* header = new CustomHeaderCell(this);
    setHorizontalHeader(header);
    header->setFixedHeight(kHeaderHeight);
}

void CustomTableView::setSelectNum(int row)
{
    m_rowNum = row;
    viewport()->update();
}

void CustomTableView::paintEvent(QPaintEvent* event)
{
    if (model()) {
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        const int first = rowAt(0);
        const int last = rowAt(viewport()->height() - 1);
        const int end = last < 0 ? model()->rowCount(rootIndex()) - 1 : last;
        for (int row = first < 0 ? 0 : first; row <= end; ++row) {
            if (isRowHidden(row))
                continue;
            // Fixed sizes: the column layouts in the .ui files assume them.
            QPainterPath bar;
            bar.addRoundedRect(QRectF(20, rowViewportPosition(row), 690, 48), 8, 8);
            painter.fillPath(bar, row == m_rowNum ? QColor(255, 255, 255, 26) : getColor(50, 50, 61, 1));
        }
    }
    QTableView::paintEvent(event);
}

void CustomTableView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        if (m_listDelegate)
            m_listDelegate->listRightMouseDown(event);
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void CustomTableView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}
