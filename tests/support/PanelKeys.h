#pragma once
#include "PopWindow/PanelController.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

// Runs `controller` by the modal panel pattern and, once the panel is up,
// presses `key` on whatever has the keyboard focus, as a user would.
// Returns whether that key ended the run; a run the key did not end is
// ended after a second so the suite never hangs.
inline bool keyEndsPanel(PanelController* controller, Qt::Key key)
{
    QPointer<PanelController> alive(controller);
    QTimer::singleShot(0, [alive, key] {
        if (!alive || !QTest::qWaitForWindowActive(alive->window(), 500) || !alive)
            return;
        QWidget* target = QApplication::focusWidget();
        if (!target || !alive->isAncestorOf(target))
            target = alive;
        QTest::keyClick(target, key);
    });
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [alive, &timedOut] {
        timedOut = true;
        if (alive)
            alive->closePanel();
    });
    watchdog.start(1000);
    runModalPanel(controller, nullptr);
    watchdog.stop();
    return !timedOut;
}
