#include "AppDelegate.h"
#include "MyNSApplication.h"
#include "PreventSleep.h"

#include "platform/InvokingUser.h"
#include "platform/TerminationSignals.h"

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
    PreventSleep preventSleep(QStringLiteral("PreventUserIdleDisplaySleep"));
    return app.exec();
}
