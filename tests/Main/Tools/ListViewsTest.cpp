#include "Main/Tools/CustemOutlineView.h"
#include "Main/Tools/CustomHeaderCell.h"
#include "Main/Tools/CustomTableView.h"
#include "Main/Tools/EUCustomOutlineView.h"

#include <QApplication>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QImage>
#include <QMouseEvent>
#include <QStandardItemModel>

#include <gtest/gtest.h>

namespace {

const QColor kBar(50, 50, 61);

struct TableFixture : ::testing::Test
{
    QStandardItemModel model{4, 1};
    CustomTableView table;
    TableFixture()
    {
        table.setModel(&model);
        table.resize(760, 4 * 48 + CustomTableView::kHeaderHeight + 10);
        table.verticalHeader()->setDefaultSectionSize(48);
        QPalette p = table.palette();
        p.setColor(QPalette::Base, Qt::black);
        table.setPalette(p);
        table.show();
    }
    // A pixel inside row `row`'s bar, clear of any cell text.
    QColor barPixel(const QImage& viewport, int row) const { return viewport.pixelColor(700, row * 48 + 24); }
};

struct RightClicks : CustomTableViewDelegate
{
    int count = 0;
    void listRightMouseDown(QMouseEvent*) override { ++count; }
};

void rightClick(QWidget* target)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(30, 30), target->mapToGlobal(QPointF(30, 30)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

}  // namespace

TEST_F(TableFixture, HighlightBarOnlyAtItsRow)
{
    table.setSelectNum(2);
    const QImage image = table.viewport()->grab().toImage();
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        const QColor c = barPixel(image, row);
        if (row == 2)
            EXPECT_EQ(c, QColor(26, 26, 26));  // white at 0.1 over the black panel
        else
            EXPECT_EQ(c, kBar);
    }
    // Left of the bar the panel shows.
    EXPECT_EQ(image.pixelColor(10, 24), QColor(Qt::black));
}

TEST_F(TableFixture, NoHighlightForRowsOutsideTheList)
{
    for (int rowNum : {-1, 4, 99}) {
        table.setRowNum(rowNum);
        const QImage image = table.viewport()->grab().toImage();
        for (int row = 0; row < 4; ++row)
            EXPECT_EQ(barPixel(image, row), kBar) << rowNum << " " << row;
    }
}

TEST_F(TableFixture, SelectionPaintsNothing)
{
    const QImage before = table.viewport()->grab().toImage();
    table.selectRow(1);
    EXPECT_EQ(barPixel(table.viewport()->grab().toImage(), 1), barPixel(before, 1));
}

TEST_F(TableFixture, RightClickGoesToTheListDelegateOnly)
{
    rightClick(table.viewport());  // no delegate: nothing happens, nothing breaks
    RightClicks clicks;
    table.setListDelegate(&clicks);
    rightClick(table.viewport());
    EXPECT_EQ(clicks.count, 1);
    EXPECT_FALSE(table.selectionModel()->hasSelection());
}

TEST_F(TableFixture, HeaderSetUpTwiceLeavesOneDarkHeader)
{
    table.setupHeaderCell();
    table.setupHeaderCell();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(table.findChildren<CustomHeaderCell*>().size(), 1);
    auto* header = qobject_cast<CustomHeaderCell*>(table.horizontalHeader());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->height(), CustomTableView::kHeaderHeight);
    EXPECT_TRUE(header->isAscending(0));
    EXPECT_EQ(header->priority(0), 1);
    const QImage image = header->grab().toImage();
    EXPECT_EQ(image.pixelColor(header->width() - 3, 12), QColor(61, 73, 110));
}

TEST(EUCustomOutlineView, HighlightFollowsTheVisibleRow)
{
    QStandardItemModel model;
    auto* parent = new QStandardItem(QStringLiteral("Safari"));
    parent->appendRow(new QStandardItem(QStringLiteral("Cookies")));
    parent->appendRow(new QStandardItem(QStringLiteral("Cache")));
    model.appendRow(parent);
    model.appendRow(new QStandardItem(QStringLiteral("Firefox")));
    EUCustomOutlineView outline;
    outline.setModel(&model);
    outline.setHeaderHidden(true);
    outline.setUniformRowHeights(true);
    outline.setItemDelegate(new QStyledItemDelegate(&outline));
    outline.resize(700, 300);
    outline.expandAll();
    outline.show();
    outline.setSelectCellBackgroundColorWithRow(2);  // "Cache", the second child
    EXPECT_EQ(outline.visibleRow(model.index(0, 0).model()->index(1, 0, model.index(0, 0))), 2);
    const int rowHeight = outline.visualRect(model.index(0, 0)).height();
    const QImage image = outline.viewport()->grab().toImage();
    const QColor normal = image.pixelColor(630, rowHeight * 1 + 2);
    const QColor highlighted = image.pixelColor(630, rowHeight * 2 + 2);
    EXPECT_EQ(normal, QColor(50, 50, 62));
    EXPECT_NE(highlighted, normal);
    EXPECT_EQ(image.pixelColor(630, rowHeight * 3 + 2), normal);
}

TEST(CustemOutlineView, HasTheDarkHeader)
{
    CustemOutlineView outline;
    outline.setupHeaderCell();
    EXPECT_TRUE(qobject_cast<CustomHeaderCell*>(outline.header()));
    EXPECT_EQ(outline.header()->height(), CustemOutlineView::kHeaderHeight);
}
