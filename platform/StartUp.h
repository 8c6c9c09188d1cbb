#pragma once
#include <QObject>

#include <functional>

namespace platform {

// Work the program's start must not wait for (volume scans, package
// lookups): it runs once the main window has first painted. The main program
// says when its start begins and ends; without a start under way (tests, the
// launcher) the work runs on the next turn of the event loop.
void afterStartUp(QObject* context, std::function<void()> work);

void startUpBegins();
// Runs what waited, each on the thread of its context, unless the context has gone.
void startUpEnded();
bool startUpUnderWay();

}  // namespace platform
