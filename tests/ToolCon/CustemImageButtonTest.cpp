#include "Comm/GetColor.h"
#include "ToolCon/CustemImageButton.h"
#include "ToolCon/EUHandButton.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {
class Target : public QObject
{
    Q_OBJECT
public:
    int fired = 0;
public slots:
    void act() { ++fired; }
};
}  // namespace

TEST(CustemImageButton, DisabledUntilEnabledThenActsOnMouseUp)
{
    QWidget parent;
    parent.resize(200, 80);
    CustemImageButton b(QRect(10, 10, 120, 30), &parent);
    b.setTextWithName("Go", QFont(), 1, "go");
    Target target;
    b.setDelegate(&target);
    b.setButtonAction("act");
    parent.show();

    EXPECT_EQ(b.fillColor(), getColor(196, 200, 221, 1));
    EXPECT_EQ(b.grab().toImage().pixelColor(60, 3), getColor(196, 200, 221, 1));
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(20, 15));
    EXPECT_EQ(target.fired, 0);

    b.setButtonEnabled(true);
    EXPECT_EQ(b.fillColor(), getColor(54, 65, 98, 1));  // enabling shows hover until the pointer leaves
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(20, 15));
    EXPECT_EQ(b.fillColor(), getColor(99, 109, 139, 1));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(20, 15));
    EXPECT_EQ(target.fired, 1);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&b, &leave);
    EXPECT_EQ(b.fillColor(), getColor(61, 73, 110, 1));

    // A second title does not stack another picture view.
    b.setTextWithName("Again", QFont(), 1, "again");
    EXPECT_EQ(b.findChildren<QWidget*>().size(), 1);
}

TEST(CustemImageButton, StringWidth)
{
    EXPECT_EQ(CustemImageButton::getStringWidthWith("", QFont(), QSizeF(100, 20)), 0);
    EXPECT_GT(CustemImageButton::getStringWidthWith("Wipe", QFont(), QSizeF(100, 20)), 10);
}

TEST(EUHandButton, PointingHandOnlyWhileInside)
{
    EUHandButton b;
    QEnterEvent in(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&b, &in);
    EXPECT_EQ(b.cursor().shape(), Qt::PointingHandCursor);
    QEvent out(QEvent::Leave);
    QApplication::sendEvent(&b, &out);
    EXPECT_EQ(b.cursor().shape(), Qt::ArrowCursor);
}

#include "CustemImageButtonTest.moc"
