#include "LauncherStartup.h"

#include "Eraser/EraserWC.h"
#include "Eraser/NTFSFileAlert.h"
#include "Eraser/SystemItemAlert.h"

#include "Main/FileEraser/Engine/SystemItems.h"
#include "Main/FileEraser/Engine/VolumeLogLine.h"

#include "platform/FileSystemInfo.h"
#include "platform/Log.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStringDecoder>

#include <sys/stat.h>

namespace LauncherStartup {

bool recordUserName(const platform::SettingsFile& settings, const QString& userName)
{
    if (userName.isEmpty())
        return false;
    return settings.setValue(QStringLiteral("USERNAME"), userName);
}

Decision decide(const QByteArrayList& arguments, const QString& workingDir)
{
    Decision d;
    if (arguments.size() < 3)
        return d;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString given = utf8.decode(arguments.at(1));
    if (utf8.hasError() || given.isEmpty())
        return d;
    // Joined, never cleaned: folding "link/.." would name another file.
    const QString path = given.startsWith(QLatin1Char('/')) ? given : workingDir + QLatin1Char('/') + given;
    struct stat st{};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return d;
    d.kind = SystemItems::isSystemItem(path) ? Decision::RefuseSystemItem : Decision::Erase;
    d.path = path;
    return d;
}

std::unique_ptr<QDialog> openWindowFor(const QString& path, const QString& toolPath)
{
    platform::log(volumeLogLine(path));

    std::unique_ptr<QDialog> window;
    EraserWC* eraser = nullptr;
    if (SystemItems::isSystemItem(path)) {
        window = std::make_unique<SystemItemAlert>(path);
    } else if (platform::isNtfs(path)) {
        window = std::make_unique<NTFSFileAlert>();
    } else {
        eraser = new EraserWC(toolPath);
        window.reset(eraser);
    }
    window->show();
    window->raise();
    window->activateWindow();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    if (eraser)
        eraser->eumeFileWithPath(path);
    return window;
}

}  // namespace LauncherStartup
