#include "PopWindow/Compositor.h"
#include "PopWindow/MAAttachedWindow.h"
#include "PopWindow/PanelController.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QImage>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace {

PanelController* makeController(QSize size = QSize(400, 300))
{
    auto* controller = new PanelController;
    controller->resize(size);
    return controller;
}

}  // namespace

TEST(ModalPanel, CloseEndsTheRunOnceAndTwiceIsHarmless)
{
    QPointer<PanelController> controller = makeController();
    QPointer<StatusAttachedWindow> seenPanel;
    int returns = 0;
    QTimer::singleShot(0, [&] {
        seenPanel = controller->superDelegate();
        ASSERT_TRUE(seenPanel);
        EXPECT_TRUE(seenPanel->isVisible());
        EXPECT_EQ(seenPanel->windowModality(), Qt::ApplicationModal);
        controller->closePanel();
        controller->closePanel();
        seenPanel->close();
    });
    runModalPanel(controller, nullptr);
    ++returns;
    EXPECT_EQ(returns, 1);
    // The controller and its panel last only as long as the run.
    EXPECT_TRUE(controller.isNull());
    EXPECT_TRUE(seenPanel.isNull());
}

TEST(ModalPanel, ClosingTheWindowByOtherMeansAlsoEndsTheRun)
{
    QPointer<PanelController> controller = makeController(QSize(100, 80));
    QTimer::singleShot(0, [controller] { controller->superDelegate()->QWidget::close(); });
    // Should the close not end the run, this ends every event loop instead.
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&timedOut] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(5000);
    runModalPanel(controller, nullptr);
    watchdog.stop();
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(controller.isNull());
}

TEST(ModalPanel, ClosingWithoutARunOnlyCloses)
{
    PanelController* controller = makeController();
    std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, nullptr));
    panel->show();
    panel->close();
    panel->close();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(panel->isRunningModal());
}

TEST(ModalPanel, PanelIsSizedAroundTheView)
{
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 800, 600);
    PanelController* controller = makeController();
    std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, &mainWindow));
    EXPECT_EQ(panel->size(), QSize(404, 314));
    EXPECT_EQ(controller->geometry(), QRect(2, 12, 400, 300));
    EXPECT_EQ(controller->superDelegate(), panel.get());
}

TEST(ModalPanel, RunningPanelIsCentredOnTheScreenWhateverTheAnchor)
{
    QWidget mainWindow;
    mainWindow.setGeometry(10, 20, 300, 200);
    QPointer<PanelController> controller = makeController(QSize(200, 120));
    QRect seen;
    QTimer::singleShot(0, [&] {
        seen = controller->superDelegate()->frameGeometry();
        controller->closePanel();
    });
    runModalPanel(controller, &mainWindow);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_TRUE(seen.isValid());
    EXPECT_LE((seen.center() - screen.center()).manhattanLength(), 1);
}

// Before it is centred for its run, a panel hangs 5 below the main window's
// lower edge, its middle 3 left of the window's middle (or on it).
TEST(ModalPanel, ABuiltPanelHangsBelowTheMainWindowsLowerMiddle)
{
    QWidget mainWindow;
    mainWindow.setGeometry(100, 60, 400, 200);
    const QRect f = mainWindow.frameGeometry();
    for (const auto& [anchor, shift] : {std::pair(PanelAnchor::LeftOfLowerMiddle, -3.0), std::pair(PanelAnchor::LowerMiddle, 0.0)}) {
        std::unique_ptr<StatusAttachedWindow> panel(makePanel(makeController(QSize(120, 80)), &mainWindow, anchor, 1, 5));
        ASSERT_TRUE(panel);
        const QRect g = panel->geometry();
        EXPECT_NEAR(g.top(), f.y() + f.height() + 5, 1);
        EXPECT_NEAR(g.x() + g.width() / 2.0, f.x() + f.width() / 2.0 + shift, 1);
        EXPECT_GE(g.height(), 80);
    }
}

TEST(ModalPanel, PaintsTheTranslucentBodyBelowAnEmptyArrowStrip)
{
    Compositor::setCheck([] { return true; });
    PanelController* controller = makeController(QSize(60, 40));
    controller->setAttribute(Qt::WA_TranslucentBackground);
    std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, nullptr));
    const QImage image = panel->grab().toImage();
    ASSERT_EQ(image.size(), QSize(64, 54));
    EXPECT_EQ(qAlpha(image.pixel(32, 4)), 0);
    const QColor body = image.pixelColor(32, 30);
    EXPECT_GT(body.alpha(), 100);
    EXPECT_LT(body.alpha(), 200);  // translucent, not opaque
    EXPECT_TRUE(panel->mask().isEmpty());
    Compositor::setCheck({});
}

namespace {

// The window as the screen shows it over a red desktop: only what the mask
// keeps is drawn, and nothing blends a translucent pixel.
QImage onRedDesktop(QWidget& window)
{
    QImage screen(window.size(), QImage::Format_ARGB32);
    screen.fill(Qt::red);
    const QImage drawn = window.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRegion kept = window.mask().isEmpty() ? QRegion(window.rect()) : window.mask();
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x)
            if (kept.contains(QPoint(x, y)))
                screen.setPixel(x, y, drawn.pixel(x, y) | 0xff000000u);  // alpha dropped, as the server does
    return screen;
}

}  // namespace

TEST(ModalPanel, WithoutACompositorTheOutlineIsCutNotPaintedBlack)
{
    Compositor::setCheck([] { return false; });
    PanelController* controller = makeController(QSize(60, 40));
    controller->setAttribute(Qt::WA_TranslucentBackground);
    std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, nullptr));
    const QImage screen = onRedDesktop(*panel);
    Compositor::setCheck({});

    // The empty arrow strip and the rounded corners show the desktop.
    EXPECT_EQ(screen.pixelColor(32, 4), QColor(Qt::red));
    EXPECT_EQ(screen.pixelColor(1, 11), QColor(Qt::red));
    EXPECT_EQ(screen.pixelColor(62, 52), QColor(Qt::red));
    // The body shows the panel's colour at full strength, not darkened by
    // a missing blend.
    const QColor body = screen.pixelColor(32, 30);
    EXPECT_NEAR(body.red(), 50, 3);
    EXPECT_NEAR(body.blue(), 62, 3);
    // The border, inside the edge, is there too.
    EXPECT_NE(screen.pixelColor(32, 11), QColor(Qt::red));
}

// Pixels the window's shape keeps that nothing paints: the X server shows
// them black when no compositor blends them away.
static int keptButUnpainted(QWidget& window)
{
    const QImage drawn = window.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QRegion kept = window.mask();
    int count = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            if (kept.contains(QPoint(x, y)) && qAlpha(drawn.pixel(x, y)) < 255)
                ++count;
    return count;
}

TEST(ModalPanel, TheShapeFollowsThePaintedCornersExactly)
{
    Compositor::setCheck([] { return false; });
    // Odd and even sizes round their corners differently.
    for (const QSize size : {QSize(60, 40), QSize(61, 41), QSize(400, 300)}) {
        PanelController* controller = makeController(size);
        controller->setAttribute(Qt::WA_TranslucentBackground);
        std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, nullptr));
        ASSERT_FALSE(panel->mask().isEmpty());
        EXPECT_EQ(keptButUnpainted(*panel), 0) << size.width() << "x" << size.height();
        // The bottom corners are cut, not square: the corner pixel is outside.
        const QRect body = panel->mask().boundingRect();
        EXPECT_FALSE(panel->mask().contains(body.bottomLeft()));
        EXPECT_FALSE(panel->mask().contains(body.bottomRight()));
        EXPECT_TRUE(panel->mask().contains(QPoint(body.center().x(), body.bottom())));
    }
    auto* content = new QWidget;
    content->setAttribute(Qt::WA_TranslucentBackground);
    content->resize(81, 57);
    MAAttachedWindow dropDown(content, QPointF(200, 200), nullptr, 3, 0);
    EXPECT_EQ(keptButUnpainted(dropDown), 0) << "the drop-downs share the shape";
    Compositor::setCheck({});
}

TEST(ModalPanel, ACompositorStartingLaterClearsTheCut)
{
    bool composited = false;
    Compositor::setCheck([&composited] { return composited; });
    PanelController* controller = makeController(QSize(60, 40));
    std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, nullptr));
    EXPECT_FALSE(panel->mask().isEmpty());
    composited = true;
    panel->setBorderColor(Qt::white);  // any repaint of the background looks again
    EXPECT_TRUE(panel->mask().isEmpty());
    Compositor::setCheck({});
}

TEST(DropDown, WithoutACompositorTheDropDownIsCutToo)
{
    Compositor::setCheck([] { return false; });
    auto* content = new QWidget;
    content->resize(80, 50);
    MAAttachedWindow window(content, QPointF(200, 200), nullptr, 3, 0);
    const QImage screen = onRedDesktop(window);
    Compositor::setCheck({});
    EXPECT_EQ(screen.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_NE(screen.pixelColor(42, 27), QColor(Qt::red));
}

TEST(AttachedWindow, BackgroundImageFillsTheBody)
{
    PanelController* controller = makeController(QSize(40, 30));
    controller->setAttribute(Qt::WA_TranslucentBackground);
    std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, nullptr));
    const QBrush before = panel->windowBackgroundBrush();
    panel->setBackgroundImage(QImage());
    EXPECT_EQ(panel->windowBackgroundBrush(), before);  // a null image changes nothing

    QImage green(4, 4, QImage::Format_ARGB32);
    green.fill(QColor(0, 200, 0));
    panel->setBackgroundImage(green);
    const QImage drawn = panel->grab().toImage();
    const QColor body = drawn.pixelColor(20, 28);
    EXPECT_GT(body.green(), 150);
    EXPECT_LT(body.red(), 60);
}

TEST(StatusAttachedWindow, SetterClamps)
{
    PanelController* controller = makeController(QSize(100, 40));
    std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, nullptr));
    panel->setBorderWidth(5);
    EXPECT_EQ(panel->borderWidth(), 2);  // the view margin
    panel->setCornerRadius(-3);
    EXPECT_EQ(panel->cornerRadius(), 0);
    panel->setCornerRadius(500);
    EXPECT_EQ(panel->cornerRadius(), (2 * 2 + 40 - 15) / 2.0);
    panel->setViewMargin(-1);
    EXPECT_EQ(panel->viewMargin(), 0);
    EXPECT_EQ(panel->size(), QSize(100, 50));  // the arrow strip stays
}
