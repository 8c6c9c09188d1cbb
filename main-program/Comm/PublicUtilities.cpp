#include "Comm/PublicUtilities.h"

#include "Comm/CommUti.h"
#include "Main/FileEraser/Engine/EraserLevel.h"
#include "platform/Log.h"
#include "platform/NetworkProbe.h"
#include "platform/SettingsFile.h"
#include "platform/SystemVersion.h"
#include "platform/UserDefaults.h"

#include <QMessageBox>

QString PublicUtilities::getUpDataHistoryStr(const QString& key)
{
    return platform::SettingsFile::shared().value(key).toString();
}

void PublicUtilities::writeUpDataHistoryStr(const QString& key, const QString& value)
{
    platform::SettingsFile::shared().setValue(key, value);
}

void PublicUtilities::showHistoryNotRecorded(QWidget* window, const QString& text)
{
    auto* notice = new QMessageBox(QMessageBox::Warning, QString(), text, QMessageBox::Ok, window);
    notice->setObjectName(QStringLiteral("historyNotRecordedNotice"));
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->open();
}

uint64_t PublicUtilities::volSpaceFromString(const QString& text)
{
    return CommUti::parseSizeText(text, 2, false);
}

PublicUtilities::VersionSources PublicUtilities::platformVersionSources()
{
    // The emulated version has a two-digit minor, which the packed form
    // cannot hold: that source answers as unavailable, the parts answer.
    const platform::SystemVersion v = platform::emulatedSystemVersion();
    auto part = [](int value) {
        return [value](int* out) -> long {
            *out = value;
            return 0;
        };
    };
    return {[](int*) -> long { return -5551; }, part(v.major), part(v.minor), part(v.bugFix)};
}

void PublicUtilities::getSystemVersionMajor(const VersionSources& sources, int* major, int* minor, int* bugFix)
{
    int ma = 10, mi = 0, bf = 0;
    int packed = 0;
    if (sources.packed && sources.packed(&packed) == 0 && packed <= 0x103F) {
        ma = ((packed >> 12) & 0xF) * 10 + ((packed >> 8) & 0xF);
        mi = (packed >> 4) & 0xF;
        bf = packed & 0xF;
    } else {
        long error = 0;
        for (auto [source, out] : {std::pair{&sources.major, &ma}, {&sources.minor, &mi}, {&sources.bugFix, &bf}}) {
            error = *source ? (*source)(out) : -1;
            if (error != 0)
                break;
        }
        if (error != 0) {
            platform::log(QStringLiteral("Unable to obtain system version: %1").arg(error));
            ma = 10;
            mi = 0;
            bf = 0;
        }
    }
    if (major)
        *major = ma;
    if (minor)
        *minor = mi;
    if (bugFix)
        *bugFix = bf;
}

void PublicUtilities::getSystemVersionMajor(int* major, int* minor, int* bugFix)
{
    getSystemVersionMajor(platformVersionSources(), major, minor, bugFix);
}

int PublicUtilities::getSystemVersion(const VersionSources& sources)
{
    int major = 0, minor = 0;
    getSystemVersionMajor(sources, &major, &minor, nullptr);
    return QStringLiteral("%1%2").arg(major).arg(minor, 2, 10, QLatin1Char('0')).toInt();
}

int PublicUtilities::getSystemVersion()
{
    return getSystemVersion(platformVersionSources());
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
