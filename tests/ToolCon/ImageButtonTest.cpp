#include "ToolCon/TCImageButton.h"
#include "ToolCon/TextIconImageBtton.h"
#include "ToolCon/TextImageButton.h"
#include "platform/ImageStore.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A parent that counts the presses that reach it.
class PressCounter : public QWidget
{
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

// The widget alone, over nothing, so that what it leaves undrawn stays transparent.
QImage shotOf(QWidget& w)
{
    QImage image(w.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    w.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image.convertToFormat(QImage::Format_ARGB32);
}

QRgb pixelOf(QWidget& w, QPoint at)
{
    return shotOf(w).pixel(at);
}

QRgb pictureAt(const QString& name, QSize size, QPoint at)
{
    return platform::imageNamed(name, size).toImage().convertToFormat(QImage::Format_ARGB32).pixel(at);
}

void enter(QWidget& w)
{
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), w.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&w, &e);
}

void leave(QWidget& w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(&w, &e);
}

int alphaOf(const QColor& c)
{
    return int(std::lround(c.alphaF() * 10));
}

struct Primary
{
    PressCounter parent;
    TextImageButton* button;
    explicit Primary(bool fromInterfaceFile, const QString& normal = QStringLiteral("btn_pril_normal"))
    {
        parent.resize(300, 100);
        button = fromInterfaceFile ? new TextImageButton(&parent) : new TextImageButton(QRect(10, 10, 110, 32), &parent);
        button->setGeometry(10, 10, 110, 32);
        button->setImageFromFileNormalName(normal, "btn_pril_press", "btn_pril_hover", "btn_pril_disable");
        button->setTextWithName("OK", 14);
        parent.show();
    }
};

const QPoint kSample(55, 4);  // inside the picture, above the label

}  // namespace

TEST(TextImageButton, FromInterfaceFileStartsDisabledAndSwallowsClicks)
{
    Primary p(true);
    QSignalSpy clicked(p.button, &QAbstractButton::clicked);
    EXPECT_EQ(pixelOf(*p.button, kSample), pictureAt("btn_pril_disable", {110, 32}, kSample));
    EXPECT_EQ(alphaOf(p.button->labelColor()), 3);
    QTest::mouseClick(p.button, Qt::LeftButton, {}, QPoint(20, 16));
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_EQ(p.parent.presses, 0);

    p.button->setButtonEnabled(true);
    EXPECT_EQ(pixelOf(*p.button, kSample), pictureAt("btn_pril_normal", {110, 32}, kSample));
    QTest::mouseClick(p.button, Qt::LeftButton, {}, QPoint(20, 16));
    EXPECT_EQ(clicked.count(), 1);
}

TEST(TextImageButton, MadeInCodeStartsEnabled)
{
    Primary p(false);
    EXPECT_TRUE(p.button->buttonEnabled());
    EXPECT_EQ(p.button->look(), FourStateImageButton::Look::Normal);
}

TEST(TextImageButton, EachStateShowsItsPictureAndLabelColour)
{
    Primary p(false);
    EXPECT_EQ(alphaOf(p.button->labelColor()), 10);  // the primary family is bright at rest

    enter(*p.button);
    EXPECT_EQ(pixelOf(*p.button, kSample), pictureAt("btn_pril_hover", {110, 32}, kSample));
    EXPECT_EQ(alphaOf(p.button->labelColor()), 10);

    QTest::mousePress(p.button, Qt::LeftButton, {}, QPoint(20, 16));
    EXPECT_EQ(pixelOf(*p.button, kSample), pictureAt("btn_pril_press", {110, 32}, kSample));
    EXPECT_EQ(alphaOf(p.button->labelColor()), 4);
    QTest::mouseRelease(p.button, Qt::LeftButton, {}, QPoint(20, 16));
    // Released with the pointer still inside: hover again.
    EXPECT_EQ(pixelOf(*p.button, kSample), pictureAt("btn_pril_hover", {110, 32}, kSample));
    EXPECT_EQ(alphaOf(p.button->labelColor()), 10);

    leave(*p.button);
    EXPECT_EQ(pixelOf(*p.button, kSample), pictureAt("btn_pril_normal", {110, 32}, kSample));

    // The control's own disabled state wins even with the flag set, and fires nothing.
    QSignalSpy clicked(p.button, &QAbstractButton::clicked);
    p.button->setEnabled(false);
    EXPECT_EQ(pixelOf(*p.button, kSample), pictureAt("btn_pril_disable", {110, 32}, kSample));
    EXPECT_EQ(alphaOf(p.button->labelColor()), 3);
    QTest::mouseClick(p.button, Qt::LeftButton, {}, QPoint(20, 16));
    EXPECT_EQ(clicked.count(), 0);
}

TEST(TextImageButton, FamilyColourFollowsTheNormalPicture)
{
    TextImageButton secondary(QRect(0, 0, 110, 32), nullptr);
    secondary.setImageFromFileNormalName("btn_secl_normal", "btn_secl_press", "btn_secl_hover", "btn_secl_disable");
    secondary.setTextWithName("Cancel", 14);
    shotOf(secondary);
    EXPECT_EQ(alphaOf(secondary.labelColor()), 7);
    enter(secondary);
    shotOf(secondary);
    EXPECT_EQ(alphaOf(secondary.labelColor()), 10);

    TextImageButton main(QRect(0, 0, 180, 44), nullptr);
    main.setImageFromFileNormalName("btn_main", "btn_main_press", "btn_main_press", "btn_main_disable");
    main.setTextWithName("Wipe Now", 16);
    shotOf(main);
    EXPECT_EQ(alphaOf(main.labelColor()), 10);
}

TEST(TextImageButton, PressDragOutAndReleaseKeepsPressedUntilReleaseAndFiresNothing)
{
    Primary p(false);
    QSignalSpy clicked(p.button, &QAbstractButton::clicked);
    enter(*p.button);
    QTest::mousePress(p.button, Qt::LeftButton, {}, QPoint(20, 16));
    QTest::mouseMove(p.button, QPoint(200, 80));
    EXPECT_TRUE(p.button->tracking());
    EXPECT_EQ(pixelOf(*p.button, kSample), pictureAt("btn_pril_press", {110, 32}, kSample));
    QTest::mouseRelease(p.button, Qt::LeftButton, {}, QPoint(200, 80));
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_FALSE(p.button->tracking());
    EXPECT_EQ(pixelOf(*p.button, kSample), pictureAt("btn_pril_normal", {110, 32}, kSample));
}

TEST(TextImageButton, SecondLabelKeepsFirstFontAndFrame)
{
    TextImageButton b(QRect(0, 0, 110, 40), nullptr);
    b.setImageFromFileNormalName("btn_s_normal", "btn_s_normal", "btn_s_hover", "btn_s_disable");
    b.setTextWithName("Refresh", 15.9f);
    const QFont first = b.label()->font();
    EXPECT_EQ(b.label()->geometry(), QRect(0, (40 - 17) / 2 - 1, 110, 17));
    b.setTextWithName("Again", 16);
    EXPECT_EQ(b.label()->font(), first);
    EXPECT_EQ(b.label()->height(), 17);
    EXPECT_EQ(b.label()->text(), "Again");
    EXPECT_EQ(b.findChildren<QLabel*>().size(), 1);

    TextImageButton big(QRect(0, 0, 180, 44), nullptr);
    big.setImageFromFileNormalName("btn_s_normal", "", "", "");
    big.setTextWithName("Erase Now", 16);
    EXPECT_EQ(big.label()->height(), 18);
    // 16 pt labels are regular weight; others light.
    EXPECT_GT(big.label()->font().weight(), b.label()->font().weight());
}

TEST(TextIconImageBtton, LabelChangesKeepOneIconAndDisabledLabelIsWhite)
{
    TextIconImageBtton b(nullptr);
    b.setGeometry(0, 0, 110, 22);
    b.setImageFromFileNormalName("btn_b_normal", "btn_b_hover", "btn_b_hover", "btn_b_normal");
    b.setTextWithName("Add More", 12);
    b.setTextWithName("Add More Files", 12);
    EXPECT_EQ(b.findChildren<QLabel*>().size(), 2);  // the label and one icon
    // The icon and the label share one middle line, the button's.
    b.show();
    for (int height : {22, 32}) {
        b.resize(110, height);
        EXPECT_EQ(b.iconView()->geometry(), QRect(10, (height - 12) / 2, 10, 12));
        EXPECT_EQ(b.label()->geometry(), QRect(15, (height - 16) / 2, 95, 16));
        EXPECT_EQ(b.iconView()->geometry().center().y(), b.label()->geometry().center().y());
    }
    shotOf(b);
    EXPECT_EQ(alphaOf(b.labelColor()), 10);  // disabled: white, not dimmed
}

namespace {
struct DelegateSpy : TCImageButtonDelegate
{
    int calls = 0;
    void moushDownInButton(QMouseEvent*) override { ++calls; }
};
}  // namespace

TEST(TCImageButton, DrawsTheIconAtItsOwnSizeAndTellsTheDelegate)
{
    QWidget parent;
    parent.resize(100, 100);
    TCImageButton b(QRect(0, 0, 40, 30), &parent);
    b.setImageFromFileNormalName("sortby", "sortby_press", "sortby_hover", "sortby");
    EXPECT_EQ(b.pictureRect(), QRectF(0, 0, 20, 20));
    DelegateSpy spy;
    b.setDelegate(&spy);
    parent.show();
    const QImage shot = shotOf(b);
    const QImage icon = platform::imageNamed("sortby").toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shot.pixel(5, 6), icon.pixel(5, 6));
    EXPECT_EQ(qAlpha(shot.pixel(30, 25)), 0);  // nothing stretched beyond the icon
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(spy.calls, 1);
}

TEST(TCImageButton, MissingPictureDrawsNothing)
{
    TCImageButton b(QRect(0, 0, 20, 20), nullptr);
    b.setImageFromFileNormalName("ic_close", "no_such_picture", "ic_close_hover", "ic_close");
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(8, 8));
    const QImage shot = shotOf(b);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(qAlpha(shot.pixel(x, y)), 0);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(8, 8));
}

TEST(TextImageButton, TitleDrawsInItsLabelColourNotTheButtonTextColour)
{
    Primary p(false);
    p.button->setTextWithName("OOOOOOOO", 14);
    const QImage image = p.button->grab().toImage();
    // The brightest pixel in the title's band must be near white: a title drawn
    // in the button-text role would come out black on the blue picture.
    int brightest = 0;
    for (int x = 20; x < 90; ++x)
        for (int y = 10; y < 24; ++y)
            brightest = std::max(brightest, qGray(image.pixel(x, y)));
    EXPECT_GT(brightest, 200);
}

namespace {

// The strongest label alpha measured over the label's area: for each pixel,
// how far the drawn colour went from the picture towards white. Fully covered
// glyph pixels give the label colour's alpha.
double measuredLabelAlpha(TextImageButton& b, const QString& picture)
{
    const QColor desk(40, 40, 40);
    QImage shot(b.size(), QImage::Format_ARGB32);
    shot.fill(desk);
    b.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
    QImage bg(b.size(), QImage::Format_ARGB32);
    bg.fill(desk);
    {
        QPainter p(&bg);
        p.drawPixmap(0, 0, platform::imageNamed(picture, b.size()));
    }
    const QRect area = b.label()->geometry() & b.rect();
    double best = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const int under = qRed(bg.pixel(x, y));
            if (under > 200)
                continue;
            best = std::max(best, double(qRed(shot.pixel(x, y)) - under) / (255 - under));
        }
    }
    return best;
}

}  // namespace

TEST(TextImageButton, LabelAlphaPerStateOnScreenEvenUnderADialogsLabelStyle)
{
    // Dialogs colour their own labels with a style sheet; the button's label
    // must keep its state colour all the same.
    QWidget dialog;
    dialog.setStyleSheet("QLabel { color: rgb(237,239,240); background: transparent; }");
    dialog.resize(300, 100);
    auto* cancel = new TextImageButton(QRect(10, 10, 110, 34), &dialog);
    cancel->setImageFromFileNormalName("btn_secl_normal", "btn_secl_press", "btn_secl_hover", "btn_secl_disable");
    cancel->setTextWithName("Cancel", 14);
    auto* erase = new TextImageButton(QRect(10, 50, 180, 44), &dialog);
    erase->setImageFromFileNormalName("btn_main", "btn_main_press", "btn_main_press", "btn_main_disable");
    erase->setTextWithName("Erase Now", 16);
    dialog.show();

    EXPECT_NEAR(measuredLabelAlpha(*cancel, "btn_secl_normal"), 0.7, 0.1);
    enter(*cancel);
    EXPECT_NEAR(measuredLabelAlpha(*cancel, "btn_secl_hover"), 1.0, 0.1);
    QTest::mousePress(cancel, Qt::LeftButton, {}, QPoint(20, 16));
    EXPECT_NEAR(measuredLabelAlpha(*cancel, "btn_secl_press"), 0.4, 0.1);
    QTest::mouseRelease(cancel, Qt::LeftButton, {}, QPoint(20, 16));

    erase->setButtonEnabled(false);
    EXPECT_NEAR(measuredLabelAlpha(*erase, "btn_main_disable"), 0.3, 0.1);
    erase->setButtonEnabled(true);
    EXPECT_NEAR(measuredLabelAlpha(*erase, "btn_main"), 1.0, 0.1);
}

TEST(TextImageButton, SpacePressesTheFocusedButtonAndTabStopsOnlyAtLiveOnes)
{
    QWidget window;
    window.resize(300, 100);
    auto* off = new TextImageButton(&window);  // from an interface file: off until enabled
    off->setGeometry(10, 10, 110, 32);
    auto* on = new TextImageButton(QRect(130, 10, 110, 32), &window);
    on->setImageFromFileNormalName("btn_pril_normal", "btn_pril_press", "btn_pril_hover", "btn_pril_disable");
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(off->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(on->focusPolicy(), Qt::TabFocus);

    QSignalSpy clicked(on, &QAbstractButton::clicked);
    on->clearFocus();
    QTest::keyClick(&window, Qt::Key_Tab);
    ASSERT_TRUE(on->hasFocus());
    EXPECT_TRUE(on->showsFocusRing());
    QTest::keyPress(on, Qt::Key_Space);
    EXPECT_EQ(on->look(), FourStateImageButton::Look::Pressed);
    QTest::keyRelease(on, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(on->look(), FourStateImageButton::Look::Normal);

    // Other keys are the window's business.
    QTest::keyClick(on, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 1);

    on->setButtonEnabled(false);
    EXPECT_FALSE(on->hasFocus());
    QTest::keyClick(on, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), 1);

    // A click's focus shows no ring.
    on->setButtonEnabled(true);
    on->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(on->showsFocusRing());
}
