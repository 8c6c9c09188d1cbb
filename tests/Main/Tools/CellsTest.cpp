#include "Main/Tools/CheckButtonCell.h"
#include "Main/Tools/CustemTextField.h"
#include "Main/Tools/ImageAndTextCell.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QTableView>

#include <gtest/gtest.h>

namespace {

struct Clicks : CheckButtonCellDelegate
{
    QList<int> rows;
    void clickButtonAction(CheckButtonCell*, const QModelIndex& index) override { rows.append(index.row()); }
};

struct CheckCellTest : ::testing::Test
{
    qint64 now = 1000;
    CheckButtonCell cell;
    QStandardItemModel model{3, 1};
    QStyleOptionViewItem option;
    Clicks clicks;

    CheckCellTest()
    {
        CheckButtonCell::setClock([this] { return now; });
        cell.setDelegate(&clicks);
        option.rect = QRect(0, 48, 300, 48);  // row 1
    }
    ~CheckCellTest() override { CheckButtonCell::setClock({}); }

    bool click(QPoint at)
    {
        QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        return cell.editorEvent(&press, &model, option, model.index(1, 0));
    }
};

}  // namespace

TEST_F(CheckCellTest, ClicksWithinTheGapActOnce)
{
    const QPoint inSquare(30, 48 + 20);
    EXPECT_TRUE(click(inSquare));
    now += 100;
    EXPECT_TRUE(click(inSquare));  // consumed, but dropped
    EXPECT_EQ(clicks.rows, QList<int>{1});
    now += 200;  // 0.3 s after the first
    click(inSquare);
    EXPECT_EQ(clicks.rows, (QList<int>{1, 1}));
}

TEST_F(CheckCellTest, ClicksFarEnoughApartActEachTime)
{
    const QPoint inSquare(25, 48 + 16);
    for (int i = 0; i < 3; ++i) {
        click(inSquare);
        now += 300;
    }
    EXPECT_EQ(clicks.rows.size(), 3);
}

TEST_F(CheckCellTest, TheGapIsSharedByEveryCheckCell)
{
    CheckButtonCell other;
    Clicks otherClicks;
    other.setDelegate(&otherClicks);
    click(QPoint(30, 68));
    now += 100;
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(30, 68), QPointF(30, 68), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    other.editorEvent(&press, &model, option, model.index(1, 0));
    EXPECT_TRUE(otherClicks.rows.isEmpty());
}

TEST_F(CheckCellTest, ClicksOutsideTheSquareNeverReachTheDelegate)
{
    EXPECT_FALSE(click(QPoint(150, 68)));  // elsewhere in the row
    EXPECT_FALSE(click(QPoint(30, 48 + 5)));  // above the square
    EXPECT_TRUE(clicks.rows.isEmpty());
    // And they do not start the gap either.
    click(QPoint(30, 68));
    EXPECT_EQ(clicks.rows.size(), 1);
}

TEST(ImageAndTextCell, ColourIsHeldByValue)
{
    ImageAndTextCell cell;
    {
        QColor temporary(200, 10, 10);
        cell.setColor(temporary);
        temporary = Qt::blue;
    }
    EXPECT_EQ(cell.color(), QColor(200, 10, 10));
    ImageAndTextCell copy;
    copy.setColor(cell.color());
    cell.setColor(Qt::green);
    EXPECT_EQ(copy.color(), QColor(200, 10, 10));
}

TEST(ImageAndTextCell, DrawsTitleInItsColourAndTheImageAtTheLeft)
{
    QStandardItemModel model(1, 1);
    QPixmap red(24, 24);
    red.fill(Qt::red);
    model.setData(model.index(0, 0), QStringLiteral("WWWWWWWW"), Qt::DisplayRole);
    model.setData(model.index(0, 0), red, Qt::DecorationRole);
    QTableView view;
    view.setModel(&model);
    auto* cell = new ImageAndTextCell(&view);
    cell->setColor(Qt::green);
    view.setItemDelegate(cell);
    view.verticalHeader()->setDefaultSectionSize(48);
    view.setColumnWidth(0, 300);
    view.resize(400, 200);
    view.show();
    const QRect r = view.visualRect(model.index(0, 0));
    EXPECT_EQ(cell->imageFrameForCellFrame(r, model.index(0, 0)), QRect(r.x() + 3, r.y() + 12, 24, 24));
    const QImage image = view.viewport()->grab().toImage();
    EXPECT_EQ(image.pixelColor(r.x() + 15, r.y() + 24), QColor(Qt::red));
    bool green = false;
    for (int x = r.x() + 36; x < r.x() + 120 && !green; ++x)
        for (int y = r.y() + 14; y < r.y() + 31 && !green; ++y)
            green = image.pixelColor(x, y).green() > 150 && image.pixelColor(x, y).red() < 100;
    EXPECT_TRUE(green);
}

namespace {
struct EditStart : CustemTextFieldDelegate
{
    CustemTextField* field = nullptr;
    bool hadFocusWhenTold = false;
    int count = 0;
    void beginToEnditForTextField() override
    {
        ++count;
        hadFocusWhenTold = field->hasFocus();
    }
};
}  // namespace

TEST(CustemTextField, TakingFocusStartsEditingThenTells)
{
    QWidget window;
    auto* field = new CustemTextField(&window);
    EditStart delegate;
    delegate.field = field;
    field->setCTdelegate(&delegate);
    window.show();
    QApplication::setActiveWindow(&window);
    field->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(delegate.count, 1);
    EXPECT_TRUE(delegate.hadFocusWhenTold);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(field, &key);
    EXPECT_EQ(field->text(), QStringLiteral("a"));
}

TEST(ImageAndTextCell, CentredTextSitsLevelWithTheRowsMiddle)
{
    for (int rowHeight : {30, 48}) {
        SCOPED_TRACE(rowHeight);
        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), QStringLiteral("HHHH"), Qt::DisplayRole);
        QPixmap red(24, 24);
        red.fill(Qt::red);
        model.setData(model.index(0, 0), red, Qt::DecorationRole);
        QTableView view;
        view.setModel(&model);
        auto* cell = new ImageAndTextCell(&view);
        cell->setColor(Qt::green);
        cell->setTextCentred(true);
        view.setItemDelegate(cell);
        view.verticalHeader()->setDefaultSectionSize(rowHeight);
        view.setColumnWidth(0, 300);
        view.resize(400, 200);
        view.show();
        const QRect r = view.visualRect(model.index(0, 0));
        const QImage image = view.viewport()->grab().toImage();
        // The ink of the capitals: its middle is the icon's, and a tick's
        // centred on the row.
        int top = -1, bottom = -1;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.x(); x < r.right(); ++x)
                if (image.pixelColor(x, y).green() - image.pixelColor(x, y).red() > 60) {
                    if (top < 0)
                        top = y;
                    bottom = y;
                }
        ASSERT_GE(top, 0) << "the text is drawn";
        EXPECT_NEAR((top + bottom) / 2.0, r.center().y(), 1.5) << top << ".." << bottom;
        const QRect icon = cell->imageFrameForCellFrame(r, model.index(0, 0));
        EXPECT_NEAR((top + bottom) / 2.0, icon.center().y(), 1.5);
    }
}
