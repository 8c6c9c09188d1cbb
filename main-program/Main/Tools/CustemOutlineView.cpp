#include "Main/Tools/CustemOutlineView.h"

#include "Main/Tools/CustomHeaderCell.h"
#include "Main/Tools/CustomTableView.h"
#include "ProgressView/RFOverlayScroller.h"

CustemOutlineView::CustemOutlineView(QWidget* parent)
    : QTreeView(parent)
{
    applyDarkListPalette(this);
    RFOverlayScroller::overlay(this);
    setupHeaderCell();
}

void CustemOutlineView::setupHeaderCell()
{
    auto* header = new CustomHeaderCell(this);
    setHeader(header);
    header->setFixedHeight(kHeaderHeight);
}
