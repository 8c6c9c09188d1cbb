// A stand-in for the program's quit path around the wiper's screen: starts a
// Wipe Free Space run on the given device, says "filling" once the fill
// writes, and on SIGTERM leaves the way the program does (endAppRemoveFolder).
#include "SetEraserLevel/DoDataBase.h"
#include "WipeDisk/WipeDiskViewController.h"
#include "platform/TerminationSignals.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: tv_wipe_quit_probe <device> <history db> <diskutil> <srm>\n");
        return 2;
    }
    const QString device = QString::fromLocal8Bit(argv[1]);
    platform::DiskTool::setDefaultProgram(QString::fromLocal8Bit(argv[3]));
    platform::DiskTool::setShowLoopAsUsb(true);
    DoDataBase store(QString::fromLocal8Bit(argv[2]));
    WipeDiskViewController screen(nullptr, &store);
    screen.setSrmPath(QString::fromLocal8Bit(argv[4]));
    screen.changeFormatOrFreeSpaceView(2);

    platform::TerminationSignals termination;
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested, [&] {
        screen.endAppRemoveFolder();
        QCoreApplication::exit(0);
    });
    bool started = false;
    QObject::connect(&screen, &WipeDiskViewController::scanEnded, [&] {
        if (started)
            return;
        started = true;
        if (!screen.selectDevice(device)) {
            std::fprintf(stderr, "%s is not listed\n", argv[1]);
            QCoreApplication::exit(3);
            return;
        }
        screen.makeSureToWipeFreeSpaceSelectVolume();
        QObject::connect(screen.currentRun(), &WipeRun::progressed, [] {
            std::printf("filling\n");
            std::fflush(stdout);
        });
    });
    QObject::connect(&screen, &WipeDiskViewController::runEnded, [] {
        std::printf("ended\n");
        std::fflush(stdout);
    });
    return app.exec();
}
