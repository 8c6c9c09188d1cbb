// Every list of the program scrolls with the kit's overlay scroller, not
// the light native bar.
#include "Main/FileEraser/FileEraserViewController.h"
#include "Main/Tools/CustomTableView.h"
#include "ProgressView/RFOverlayScroller.h"
#include "RepairDisk/RepairDiskViewController.h"
#include "RepairDisk/ShowAidViewControllrt.h"
#include "SetEraserLevel/HistoryViewController.h"
#include "TempTree.h"
#include "WipeDisk/WipeDiskViewController.h"
#include "inter/InternetViewController.h"
#include "uninstall/MakeSureUninstallViewController.h"
#include "uninstall/UninstallViewController.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTest>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

TEST(ListScroller, EveryListOfTheScreensAndDialogsScrollsWithTheOverlayScroller)
{
    ScopedLayout layout;
    std::vector<std::unique_ptr<QWidget>> screens;
    screens.emplace_back(new FileEraserViewController);
    screens.emplace_back(new WipeDiskViewController);
    screens.emplace_back(new RepairDiskViewController);
    screens.emplace_back(new UninstallViewController(ScanSetup{}, RelatedRoots{}, false));
    screens.emplace_back(new HistoryViewController);
    screens.emplace_back(new MakeSureUninstallViewController);
    screens.emplace_back(new ShowAidViewControllrt);
    screens.emplace_back(new InternetViewController);
    int lists = 0;
    for (const auto& screen : screens) {
        for (QAbstractItemView* list : screen->findChildren<QAbstractItemView*>()) {
            if (qobject_cast<QHeaderView*>(list))
                continue;
            ++lists;
            SCOPED_TRACE(screen->metaObject()->className() + std::string(" ") + list->objectName().toStdString());
            EXPECT_TRUE(RFOverlayScroller::of(list)) << "the light native scroller shows";
            EXPECT_EQ(list->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        }
    }
    EXPECT_GE(lists, 9);
}

TEST(ListScroller, FloatsBelowTheHeaderAndScrollsWithTheList)
{
    QStandardItemModel model(100, 2);
    for (int r = 0; r < 100; ++r)
        model.setItem(r, 0, new QStandardItem(QString::number(r)));
    CustomTableView table;
    table.setModel(&model);
    table.resize(300, 200);
    table.show();
    RFOverlayScroller* scroller = RFOverlayScroller::of(&table);
    ASSERT_TRUE(scroller);
    QTRY_VERIFY(scroller->isVisible());
    // Over the right edge of the rows, not beside them, below the header.
    const QRect rows = table.viewport()->geometry();
    EXPECT_EQ(rows.right(), table.width() - 1 - table.frameWidth()) << "the rows take the whole width";
    EXPECT_EQ(scroller->geometry().right(), rows.right());
    EXPECT_EQ(scroller->geometry().top(), rows.top());
    EXPECT_GE(rows.top(), table.horizontalHeader()->height());

    table.scrollToBottom();
    EXPECT_EQ(scroller->value(), scroller->maximum());
    scroller->setValue(0);
    EXPECT_EQ(table.verticalScrollBar()->value(), 0) << "dragging the knob scrolls the list";
    // A resized list keeps its scroller on its edge; a short list shows none.
    table.resize(400, 250);
    QTRY_COMPARE(scroller->geometry().right(), table.viewport()->geometry().right());
    model.setRowCount(2);
    QTRY_VERIFY(!scroller->isVisible());
}

