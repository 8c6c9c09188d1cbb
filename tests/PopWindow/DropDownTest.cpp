#include "PopWindow/AttachedDropDown.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QWidget* makeList()
{
    auto* list = new QWidget;
    list->resize(120, 90);
    return list;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void send(QObject* to, QEvent::Type type)
{
    QEvent event(type);
    QCoreApplication::sendEvent(to, &event);
}

struct DropDownTest : ::testing::Test
{
    QWidget mainWindow;
    AttachedDropDown dropDown;
    DropDownTest()
    {
        mainWindow.setGeometry(50, 50, 900, 600);
        mainWindow.show();
        dropDown.setAutoCloseInterval(100);
    }
};

}  // namespace

TEST_F(DropDownTest, SitsAboveItsAnchorAndFollowsTheParent)
{
    MAAttachedWindow* window = dropDown.open(makeList(), &mainWindow, QPointF(300, 400));
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(124, 94));
    const QPoint anchor = mainWindow.mapToGlobal(QPoint(300, 400));
    EXPECT_EQ(window->geometry().bottom() + 1, anchor.y());
    EXPECT_EQ(window->geometry().center().x() + 1, anchor.x());

    mainWindow.move(mainWindow.pos() + QPoint(40, 25));
    QCoreApplication::processEvents();
    const QPoint moved = mainWindow.mapToGlobal(QPoint(300, 400));
    EXPECT_EQ(window->geometry().bottom() + 1, moved.y());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(DropDownTest, ClosesOnItsTimerWhenNeverEntered)
{
    QSignalSpy closed(&dropDown, &AttachedDropDown::closed);
    QPointer<MAAttachedWindow> window = dropDown.open(makeList(), &mainWindow, QPointF(300, 400));
    EXPECT_TRUE(closed.wait(2000));
    flushDeletes();
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(dropDown.isOpen());
}

TEST_F(DropDownTest, StaysWhileThePointerIsInsideThenClosesOnLeave)
{
    QSignalSpy closed(&dropDown, &AttachedDropDown::closed);
    MAAttachedWindow* window = dropDown.open(makeList(), &mainWindow, QPointF(300, 400));
    send(window, QEvent::Enter);
    QTest::qWait(250);
    EXPECT_TRUE(dropDown.isOpen());
    EXPECT_EQ(closed.count(), 0);
    send(window, QEvent::Leave);
    EXPECT_FALSE(dropDown.isOpen());
    EXPECT_EQ(closed.count(), 1);
    dropDown.closeMattachedWindow();  // closing twice is safe
    dropDown.choiceMade();
    flushDeletes();
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(DropDownTest, AChoiceClosesEvenWithThePointerInside)
{
    MAAttachedWindow* window = dropDown.open(makeList(), &mainWindow, QPointF(300, 400));
    send(window, QEvent::Enter);
    dropDown.choiceMade();
    EXPECT_FALSE(dropDown.isOpen());
    flushDeletes();
}

TEST_F(DropDownTest, AReopenedDropDownIsFreshAndOutlivesTheOldTimer)
{
    dropDown.setAutoCloseInterval(150);
    QPointer<MAAttachedWindow> first = dropDown.open(makeList(), &mainWindow, QPointF(300, 400));
    QTest::qWait(100);
    dropDown.setAutoCloseInterval(400);
    QPointer<MAAttachedWindow> second = dropDown.open(makeList(), &mainWindow, QPointF(300, 400));
    flushDeletes();
    EXPECT_TRUE(first.isNull());
    ASSERT_FALSE(second.isNull());
    QTest::qWait(150);  // the first opening's timer has fired by now
    EXPECT_TRUE(dropDown.isOpen());
    EXPECT_EQ(dropDown.window(), second.data());
    QSignalSpy closed(&dropDown, &AttachedDropDown::closed);
    EXPECT_TRUE(closed.wait(2000));  // its own timer still closes it
}

TEST(DropDown, StaysInsideItsParentWindow)
{
    QWidget parent;
    parent.setGeometry(100, 100, 400, 300);
    parent.show();
    auto* content = new QWidget;
    content->resize(160, 164);
    // Centred on a point 10 from the right edge it would reach 74 past it.
    MAAttachedWindow window(content, QPointF(390, 40), &parent, 1, 0);
    const QRect inside(parent.mapToGlobal(QPoint(0, 0)), parent.size());
    EXPECT_TRUE(inside.contains(window.frameGeometry())) << "drop-down reaches past the window";
    EXPECT_EQ(window.frameGeometry().right(), inside.right());
    EXPECT_EQ(window.frameGeometry().top(), inside.top() + 40) << "only moved sideways";
}
