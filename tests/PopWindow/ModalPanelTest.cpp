#include "PopWindow/PanelController.h"

#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

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
    PanelController* controller = makeController(QSize(100, 80));
    QTimer::singleShot(0, [controller] { controller->superDelegate()->QWidget::close(); });
    runModalPanel(controller, nullptr);
    SUCCEED();
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

TEST(ModalPanel, PanelIsSizedAroundTheViewAndCentred)
{
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 800, 600);
    PanelController* controller = makeController();
    std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, &mainWindow));
    EXPECT_EQ(panel->size(), QSize(404, 314));
    EXPECT_EQ(controller->geometry(), QRect(2, 12, 400, 300));
    EXPECT_EQ(controller->superDelegate(), panel.get());
}

TEST(ModalPanel, AnchorPoints)
{
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 800, 600);
    const QRect f = mainWindow.frameGeometry();
    EXPECT_EQ(panelAnchorPoint(&mainWindow, PanelAnchor::LeftOfLowerMiddle),
              QPointF(f.x() + f.width() / 2.0 - 3, f.y() + f.height()));
    EXPECT_EQ(panelAnchorPoint(&mainWindow, PanelAnchor::LowerMiddle),
              QPointF(f.x() + f.width() / 2.0, f.y() + f.height()));
    EXPECT_EQ(panelAnchorPoint(nullptr, PanelAnchor::LeftOfLowerMiddle), QPointF(-3, 0));
}

TEST(ModalPanel, PaintsTheTranslucentBodyBelowAnEmptyArrowStrip)
{
    PanelController* controller = makeController(QSize(60, 40));
    controller->setAttribute(Qt::WA_TranslucentBackground);
    std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, nullptr));
    const QImage image = panel->grab().toImage();
    ASSERT_EQ(image.size(), QSize(64, 54));
    EXPECT_EQ(qAlpha(image.pixel(32, 4)), 0);
    const QColor body = image.pixelColor(32, 30);
    EXPECT_GT(body.alpha(), 100);
    EXPECT_LT(body.alpha(), 200);  // translucent, not opaque
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
