#include "AppDelegate.h"
#include "MyNSApplication.h"
#include "PreventSleep.h"

#include "platform/InvokingUser.h"
#include "platform/Log.h"
#include "platform/TerminationSignals.h"

#include <QThreadPool>

#include <memory>
#include <string>
#include <vector>

#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    platform::exportInvokingUser();
    // The arguments as given: the application takes its own out of argv.
    std::vector<std::string> given(argv, argv + argc);
    MyNSApplication app(argc, argv);
    // The window has a fixed size: where the scale asked for makes it larger
    // than the screen, the program starts again at a scale that fits (once:
    // the new start is marked).
    if (qEnvironmentVariableIsEmpty("TV_SCALE_FITTED")) {
        if (const QByteArray scale = AppDelegate::scaleFactorToFit(); !scale.isEmpty()) {
            qputenv("QT_SCALE_FACTOR", scale);
            qputenv("TV_SCALE_FITTED", "1");
            std::vector<char*> args;
            for (std::string& arg : given)
                args.push_back(arg.data());
            args.push_back(nullptr);
            // Nothing of this start (its display connection first) lives on in the next.
            if (DIR* fds = ::opendir("/proc/self/fd")) {
                while (const dirent* entry = ::readdir(fds))
                    if (const int fd = std::atoi(entry->d_name); fd > 2 && fd != ::dirfd(fds))
                        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
                ::closedir(fds);
            }
            ::execv("/proc/self/exe", args.data());
            // Not started again: this start goes on at the scale asked for.
            platform::log(QStringLiteral("Could not start again at scale %1").arg(QString::fromLatin1(scale)));
        }
    }
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
