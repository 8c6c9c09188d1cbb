// brisklaunch: runs as the user. Records the user for the main program,
// installs the file managers' erase action, then either erases the item a
// file manager handed over or starts the main program as root.
#include "FileManagerActions.h"
#include "LauncherStartup.h"
#include "RunScript.h"
#include "StartFailedAlert.h"

#include "platform/InvokingUser.h"
#include "platform/Layout.h"
#include "platform/SettingsFile.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char** argv)
{
    const platform::InvokingUser user = platform::realUser();
    const platform::Layout& layout = platform::Layout::current();

    // Only a writable settings file takes it (the staged tree's); the
    // installed one is root's, and the main program records its invoker itself.
    LauncherStartup::recordUserName(platform::SettingsFile::shared(), user.name);

    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    FileManagerActions::install(user.home, layout.shareDir(), self);

    QByteArrayList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    const auto decision = LauncherStartup::decide(arguments, QDir::currentPath());

    if (decision.kind == LauncherStartup::Decision::StartMainProgram) {
        const int32_t status = RunScript::RunTool(layout.tool(QStringLiteral("tarnwick-vantoly")));
        if (status == 0)
            return 0;
        // Never silent: said on the terminal, and in a window of our own
        // for a launcher started from a menu.
        const QString sentence = RunScript::failureSentence(status);
        std::fprintf(stderr, "brisklaunch: %s\n", sentence.toLocal8Bit().constData());
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            return 1;
        int appArgc = 1;
        QApplication app(appArgc, argv);
        StartFailedAlert alert(sentence);
        alert.show();
        alert.raise();
        alert.activateWindow();
        alert.exec();
        return 1;
    }

    // The application object exists only for the erase window: starting
    // the main program needs no display.
    // Only the program's name: a handed file called "-platform" or "-style"
    // is a path to erase, never an option of the toolkit.
    int appArgc = 1;
    QApplication app(appArgc, argv);
    const auto window = LauncherStartup::openWindowFor(decision.path);
    // A termination request leaves as the window's close does: a run is
    // cancelled and the window ends once the tool has stopped.
    platform::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &platform::TerminationSignals::terminationRequested, window.get(),
                     &QDialog::reject);
    window->exec();
    return 0;
}
