#pragma once
#include "PopWindow/PanelController.h"
#include "PopWindow/StatusAttachedWindow.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>

// How a panel is run for a key: over which window, what looks at the panel
// once it is up, how long before the watchdog ends it, and whether the key
// waits for the panel to be the active window (else only for it to show).
struct PanelRun
{
    QWidget* mainWindow = nullptr;
    std::function<void(StatusAttachedWindow*)> during;
    int watchdogMs = 1000;
    bool untilActive = true;
};

// Runs `controller` by the modal panel pattern and, once the panel is up,
// presses `key` on whatever has the keyboard focus, as a user would.
// Returns whether that key ended the run; a run the key did not end is
// ended by the watchdog so the suite never hangs.
inline bool keyEndsPanel(PanelController* controller, Qt::Key key, const PanelRun& run = {})
{
    QPointer<PanelController> alive(controller);
    QTimer::singleShot(0, [alive, key, run] {
        if (!alive)
            return;
        if (run.untilActive) {
            if (!QTest::qWaitForWindowActive(alive->window(), 500))
                return;
        } else {
            (void)QTest::qWaitForWindowExposed(alive->window(), 500);
        }
        if (!alive)
            return;
        if (run.during)
            run.during(alive->superDelegate());
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
    watchdog.start(run.watchdogMs);
    runModalPanel(controller, run.mainWindow);
    watchdog.stop();
    return !timedOut;
}
