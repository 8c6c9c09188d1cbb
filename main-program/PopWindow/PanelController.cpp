#include "PopWindow/PanelController.h"

#include <QGuiApplication>
#include <QScreen>

#include <memory>

PanelController::PanelController(QWidget* parent)
    : QWidget(parent)
{
}

void PanelController::closePanel()
{
    if (m_superDelegate)
        m_superDelegate->close();
}

QPointF panelAnchorPoint(const QWidget* mainWindow, PanelAnchor anchor)
{
    const double shift = anchor == PanelAnchor::LeftOfLowerMiddle ? -3 : 0;
    if (!mainWindow)
        return QPointF(shift, 0);
    const QRect frame = mainWindow->frameGeometry();
    return QPointF(frame.x() + frame.width() / 2.0 + shift, frame.y() + frame.height());
}

StatusAttachedWindow* makePanel(PanelController* controller, QWidget* mainWindow, PanelAnchor anchor, int side,
                                double distance)
{
    if (!controller)
        return nullptr;
    auto* panel = new StatusAttachedWindow(controller, panelAnchorPoint(mainWindow, anchor), nullptr, side, distance);
    controller->setSuperDelegate(panel);
    return panel;
}

void runModalPanel(PanelController* controller, QWidget* mainWindow, PanelAnchor anchor, int side,
                   double distance)
{
    std::unique_ptr<StatusAttachedWindow> panel(makePanel(controller, mainWindow, anchor, side, distance));
    if (!panel)
        return;
    QScreen* screen = mainWindow ? mainWindow->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = panel->geometry();
        frame.moveCenter(screen->availableGeometry().center());
        panel->move(frame.topLeft());
    }
    panel->runModal();
    // The panel owns the controller's widget; both go here, after the run.
}
