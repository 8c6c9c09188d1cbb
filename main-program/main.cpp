#include "AppDelegate.h"
#include "MyNSApplication.h"
#include "PreventSleep.h"

#include "platform/InvokingUser.h"
#include "platform/TerminationSignals.h"

#include <QThreadPool>

#include <memory>

#include <unistd.h>

int main(int argc, char** argv)
{
    platform::exportInvokingUser();
    MyNSApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("tarnwick-vantoly"));
    app.setApplicationDisplayName(QStringLiteral("Tarnwick Vantoly"));
    app.setQuitOnLastWindowClosed(false);

    AppDelegate delegate;
    // Termination by signal leaves the same way as the quit menu.
    platform::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &platform::TerminationSignals::terminationRequested, &delegate, &AppDelegate::exitApp);

    delegate.awakeFromNib();
    if (!delegate.applicationDidFinishLaunching())
        return 0;
    // Held from here until the loop returns; a second instance never takes it.
    auto preventSleep = std::make_unique<PreventSleep>(QStringLiteral("PreventUserIdleDisplaySleep"));
    const int status = app.exec();
    preventSleep.reset();
    // An update check may still sit in a network time-out; it has nothing to
    // save, so the exit does not wait for it.
    if (!QThreadPool::globalInstance()->waitForDone(1000))
        ::_exit(status);
    return status;
}
