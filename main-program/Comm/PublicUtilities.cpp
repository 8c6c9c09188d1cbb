#include "Comm/PublicUtilities.h"

#include "Comm/CommUti.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "platform/NetworkProbe.h"
#include "platform/SettingsFile.h"
#include "platform/SystemVersion.h"
#include "platform/UserDefaults.h"

QString PublicUtilities::getUpDataHistoryStr(const QString& key)
{
    return platform::SettingsFile::shared().value(key).toString();
}

void PublicUtilities::writeUpDataHistoryStr(const QString& key, const QString& value)
{
    platform::SettingsFile::shared().setValue(key, value);
}

uint64_t PublicUtilities::volSpaceFromString(const QString& text)
{
    return CommUti::parseSizeText(text, 2, false);
}

void PublicUtilities::getSystemVersionMajor(int* major, int* minor, int* bugFix)
{
    const platform::SystemVersion v = platform::emulatedSystemVersion();
    if (major)
        *major = v.major;
    if (minor)
        *minor = v.minor;
    if (bugFix)
        *bugFix = v.bugFix;
}

int PublicUtilities::getSystemVersion()
{
    int major = 0, minor = 0;
    getSystemVersionMajor(&major, &minor, nullptr);
    return QStringLiteral("%1%2").arg(major).arg(minor, 2, 10, QLatin1Char('0')).toInt();
}

QUrl PublicUtilities::makerHomePage()
{
    return QUrl(QStringLiteral("https://www.tarnwick.example/"));
}

bool PublicUtilities::isCanBeUseNetWork(const QUrl& homePage)
{
    return platform::probeUrl(homePage, 5000);
}

// --- Erasure level -------------------------------------------------------

QString PublicUtilities::getEraserTimes()
{
    return getEraserTimes(platform::userDefaultInteger(kEraserTimesKey, 1));
}

QString PublicUtilities::getEraserTimes(int level)
{
    return eraserLevelFor(level).name;
}
