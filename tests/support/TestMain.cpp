// One main for every test program: widget tests need an application object,
// and every test runs on the offscreen platform unless told otherwise.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // User defaults go to a test location, never the developer's own, and
    // one private to this process: ctest runs cases side by side, and one
    // case's `EraserTimes` must not leak into another's run.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir defaults;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, defaults.path());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
