#include "inter/BrowserListWidgets.h"
#include "inter/BrowserTree.h"

#include "platform/ImageStore.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QStandardItemModel>

#include <gtest/gtest.h>

namespace {

QIcon ownSize(int side)
{
    QPixmap p(side, side);
    p.fill(Qt::red);
    return QIcon(p);
}

}  // namespace

TEST(BrowserListWidgets, TheTitleSitsBesideAnIconByTheIconsOwnWidthAndByTheRowHeight)
{
    BrowerImageAndTextCell cell(nullptr, "SName", {});
    cell.setTitle("Cookies", 240, false, false);
    const QRectF row40(20, 100, 300, 40), row48(20, 100, 300, 48);

    // No image: 10 from the left, for a size text as for a name.
    EXPECT_EQ(cell.titleRect(row40), QRectF(30, 110, 240, 18));
    EXPECT_EQ(cell.titleRect(row48), QRectF(30, 113, 240, 18));
    cell.setTitle("12 Items", 100, true, true);
    EXPECT_EQ(cell.titleRect(row40), QRectF(30, 110, 100, 18));

    // An image 32 wide of its own, drawn at 16 or at 32: the title 48 in.
    cell.setImage(ownSize(32));
    cell.setIconSize(16, 16);
    EXPECT_EQ(cell.titleRect(row40).x(), 68);
    EXPECT_EQ(cell.iconRect(row40), QRectF(29, 100 - 16 + 28, 16, 16));
    cell.setIconSize(32, 32);
    EXPECT_EQ(cell.iconRect(row48), QRectF(29, 100 - 32 + 40, 32, 32));
    // Hits and editing go by the image's own size, 3 in from the edge.
    EXPECT_EQ(cell.imageRect(row40), QRectF(23, 104, 32, 32));
    EXPECT_EQ(cell.editingRect(row40), QRectF(55, 100, 265, 40));

    // Under 25 wide, the title starts at 10 again.
    cell.setImage(ownSize(24));
    EXPECT_EQ(cell.titleRect(row40).x(), 30);
    cell.setImage(QIcon());
    EXPECT_TRUE(cell.imageRect(row40).isEmpty());
    EXPECT_EQ(cell.editingRect(row40), row40);
}

TEST(BrowserListWidgets, TheCellsSizeMakesRoomForItsImage)
{
    QStandardItemModel model(1, 1);
    BrowerImageAndTextCell cell(nullptr, "SName", {});
    QStyleOptionViewItem option;
    const QSize text = cell.QStyledItemDelegate::sizeHint(option, model.index(0, 0));
    EXPECT_EQ(cell.sizeHint(option, model.index(0, 0)), text + QSize(3, 0));
    cell.setImage(ownSize(32));
    EXPECT_EQ(cell.sizeHint(option, model.index(0, 0)), text + QSize(35, 0));
}

TEST(BrowserListWidgets, NoTitleOfTheListsIsDrawnOverItsIcon)
{
    // The icons the scan hands the lists, at the sizes the page draws them.
    auto browser = std::make_shared<BrowerObj>();
    for (const char* name : {"Browsing History", "Caches", "Cookies", "Download History", "Save Password", "Session"}) {
        auto category = std::make_shared<BrowerObj>();
        category->name = QString::fromLatin1(name);
        category->parObj = browser.get();
        browser->chrArr << category;
    }
    BrowserTree::attachIcons({browser});
    BrowerImageAndTextCell cell(nullptr, "SName", {});
    const QRectF row(0, 0, 268, 40);
    cell.setImage(browser->iconImage);
    cell.setIconSize(32, 32);
    EXPECT_GE(cell.titleRect(row).left(), cell.iconRect(row).right());
    cell.setIconSize(16, 16);
    for (const BrowerObjPtr& category : browser->chrArr) {
        ASSERT_FALSE(category->iconImage.isNull()) << category->name.toStdString();
        cell.setImage(category->iconImage);
        EXPECT_GE(cell.titleRect(row).left(), cell.iconRect(row).right()) << category->name.toStdString();
    }
}

TEST(BrowserListWidgets, RowsAreFilledWholeAndOnlyTheChosenOneIsLight)
{
    QWidget host;
    host.setStyleSheet("background: black;");
    host.resize(200, 200);
    auto* list = new BroTableView(&host);
    list->setGeometry(0, 0, 200, 200);
    QStandardItemModel model(3, 1);
    list->setModel(&model);
    for (int row = 0; row < 3; ++row)
        list->setRowHeight(row, 40);
    list->setRowNum(1);
    host.show();
    const QImage shot = host.grab().toImage();
    const QColor dark = BroTableView::rowColor(false);
    auto at = [&](int y) { return shot.pixelColor(100, y); };
    // The first and last line of each row belong to it.
    for (int y : {0, 39, 80, 119})
        EXPECT_EQ(at(y).name(), dark.name()) << y;
    for (int y : {40, 79}) {
        EXPECT_NE(at(y).name(), dark.name()) << y;
        EXPECT_GT(at(y).red(), 0) << y;
    }
    list->setRowNum(-1);
    list->viewport()->repaint();
    EXPECT_EQ(host.grab().toImage().pixelColor(100, 60).name(), dark.name());
    EXPECT_EQ(at(140).name(), QColor(Qt::black).name());
}

TEST(BrowserListWidgets, ARowThatWasNotReadOrFoundTellsWhyBeforeAnyClean)
{
    auto browser = std::make_shared<BrowerObj>();
    browser->name = "Google Chrome";
    auto unreadable = std::make_shared<BrowerObj>();
    unreadable->parObj = browser.get();
    unreadable->name = "Browsing History";
    unreadable->outcome = BrowerObj::Outcome::Unreadable;
    unreadable->failReason = "the file is not a database";
    auto fine = std::make_shared<BrowerObj>();
    fine->parObj = browser.get();
    fine->name = "Cookies";
    browser->chrArr = {unreadable, fine};

    BrowserListModel categories({"SSelect", "SName", "SSize"});
    categories.setRows(browser->chrArr);
    EXPECT_TRUE(categories.data(categories.index(0, 2), Qt::ToolTipRole).toString().contains("the file is not a database"));
    EXPECT_FALSE(categories.data(categories.index(1, 2), Qt::ToolTipRole).isValid());

    BrowserListModel browsers({"FSelect", "FName"});
    browsers.setRows({browser});
    EXPECT_FALSE(BrowserListModel::noProfile(*browser));
    EXPECT_FALSE(browsers.data(browsers.index(0, 1), Qt::ToolTipRole).isValid());
    // A browser without a profile says so on its own row.
    for (const auto& c : browser->chrArr) {
        c->outcome = BrowerObj::Outcome::NoProfile;
        c->failReason = "no profile: there is no ~/.config/google-chrome";
    }
    EXPECT_TRUE(BrowserListModel::noProfile(*browser));
    EXPECT_TRUE(browsers.data(browsers.index(0, 1), Qt::ToolTipRole)
                    .toString()
                    .contains("no profile: there is no ~/.config/google-chrome"));
    // Names and paths in the reason are shown as they are, never as markup.
    browser->chrArr[0]->failReason = "no profile: <b>~/x</b>";
    EXPECT_TRUE(browsers.data(browsers.index(0, 1), Qt::ToolTipRole).toString().contains("&lt;b&gt;~/x&lt;/b&gt;"));
}
