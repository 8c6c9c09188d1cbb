#include "PopWindow/PanelController.h"

#include "ToolCon/FourStateImageButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
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

namespace {

// The picture buttons keep their own enable flag beside the widget's.
bool reacts(const QAbstractButton* button)
{
    if (!button || !button->isEnabled() || !button->isVisible())
        return false;
    if (auto* picture = qobject_cast<const FourStateImageButton*>(button))
        return picture->buttonEnabled();
    return true;
}

}  // namespace

void PanelController::keyPressEvent(QKeyEvent* event)
{
    QAbstractButton* target = nullptr;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        target = focused && isAncestorOf(focused) && reacts(focused) ? focused : m_defaultButton.data();
        break;
    }
    case Qt::Key_Escape:
        target = m_cancelButton;
        break;
    default:
        break;
    }
    if (target && reacts(target) && !event->isAutoRepeat()) {
        event->accept();
        target->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PanelController::takeInitialFocus()
{
    // As the keyboard's focus, so the button wears its ring: it shows what
    // Return presses.
    if (auto* picture = qobject_cast<FourStateImageButton*>(m_defaultButton.data()); picture && reacts(picture))
        picture->takeKeyboardFocus();
    else if (reacts(m_defaultButton))
        m_defaultButton->setFocus(Qt::TabFocusReason);
    else if (!focusWidget())
        setFocus(Qt::OtherFocusReason);
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
    panel->setOwnerWindow(mainWindow);
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
