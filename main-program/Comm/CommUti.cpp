#include "Comm/CommUti.h"

#include "platform/DesktopEntries.h"
#include "platform/FolderSize.h"
#include "platform/InvokingUser.h"
#include "platform/SettingsFile.h"

#include <charconv>

namespace {

// Every size text goes through single precision first, so texts made here
// and parsed back agree with the ones stored in lists.
QString sizeText(double bytes, double unit, const char* name)
{
    const float q = static_cast<float>(bytes / unit);
    return QString::asprintf("%0.2f %s", static_cast<double>(q), name);
}

QString byteText(double bytes)
{
    return QString::asprintf("%.0f byte", static_cast<double>(static_cast<float>(bytes)));
}

// Reads a leading number the way a lenient text-to-float does: leading blanks
// skipped, trailing text ignored, 0 when there is no number. Locale-free, so
// "2.50" means the same under every locale.
float leadingFloat(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    float value = 0;
    const char* first = bytes.constData();
    if (*first == '+')
        ++first;
    const auto [ptr, ec] = std::from_chars(first, bytes.constData() + bytes.size(), value);
    (void)ptr;
    return ec == std::errc() ? value : 0.0f;
}

}  // namespace

QString CommUti::convertVolSpace(uint64_t bytes)
{
    const double b = static_cast<double>(bytes);
    if (bytes <= 999999ULL)
        return sizeText(b, 1e3, "KB");
    if (bytes <= 999999999ULL)
        return sizeText(b, 1e6, "MB");
    return sizeText(b, 1e9, "GB");
}

QString CommUti::longlongDiskSize(int64_t bytes)
{
    const double b = static_cast<double>(bytes);
    if (bytes <= 999LL)
        return byteText(b);
    if (bytes <= 999999LL)
        return sizeText(b, 1e3, "KB");
    if (bytes <= 999999999LL)
        return sizeText(b, 1e6, "MB");
    if (bytes <= 999999999999LL)
        return sizeText(b, 1e9, "GB");
    return sizeText(b, 1e12, "TB");
}

uint64_t CommUti::parseSizeText(const QString& text, int cut, bool zeroShortCircuit)
{
    if (text.isEmpty())
        return 0;
    const float number = leadingFloat(text.left(qMax<qsizetype>(0, text.size() - cut)));
    if (zeroShortCircuit && number == 0.0f)
        return 0;
    double unit = 0;
    if (text.endsWith(QLatin1String("KB")))
        unit = 1e3;
    else if (text.endsWith(QLatin1String("MB")))
        unit = 1e6;
    else if (text.endsWith(QLatin1String("GB")))
        unit = 1e9;
    else if (text.endsWith(QLatin1String("TB")))
        unit = 1e12;
    const double product = static_cast<double>(number) * unit;
    return product > 0 ? static_cast<uint64_t>(product) : 0;
}

uint64_t CommUti::volSpaceFromString(const QString& text)
{
    return parseSizeText(text, 3, true);
}

uint64_t CommUti::sizeOfFileRef(const FSRef& ref)
{
    return ref.path.isEmpty() ? 0 : platform::folderSize(ref.path);
}

QStringList CommUti::applicationPaths()
{
    return platform::applicationRootsFor(platform::invokingUser().home);
}

QStringList CommUti::widgetPaths()
{
    const QString home = platform::invokingUser().home;
    QStringList paths;
    if (!home.isEmpty())
        paths << home + QStringLiteral("/.local/share/gnome-shell/extensions")
              << home + QStringLiteral("/.local/share/plasma/plasmoids");
    paths << QStringLiteral("/usr/local/share/gnome-shell/extensions") << QStringLiteral("/usr/share/gnome-shell/extensions")
          << QStringLiteral("/usr/local/share/plasma/plasmoids") << QStringLiteral("/usr/share/plasma/plasmoids");
    return paths;
}

QStringList CommUti::pluginPaths()
{
    const QString home = platform::invokingUser().home;
    QStringList paths;
    // Browser plug-in folders, the user's first.
    if (!home.isEmpty())
        paths << home + QStringLiteral("/.mozilla/plugins");
    paths << QStringLiteral("/usr/local/lib/mozilla/plugins") << QStringLiteral("/usr/lib/mozilla/plugins")
          << QStringLiteral("/usr/lib/browser-plugins") << QStringLiteral("/usr/lib/chromium/plugins");
    // Then the input-method components.
    if (!home.isEmpty())
        paths << home + QStringLiteral("/.local/share/fcitx5/addon");
    paths << QStringLiteral("/usr/share/ibus/component") << QStringLiteral("/usr/share/fcitx5/addon")
          << QStringLiteral("/usr/share/fcitx/addon");
    return paths;
}

void CommUti::writLightFont(const QFont& font)
{
    platform::SettingsFile::shared().setValue(QStringLiteral("FontLight"), font.family());
}

void CommUti::writRegularFont(const QFont& font)
{
    platform::SettingsFile::shared().setValue(QStringLiteral("FontRegular"), font.family());
}

void CommUti::writBoldFont(const QFont& font)
{
    platform::SettingsFile::shared().setValue(QStringLiteral("FontBold"), font.family());
}

QString CommUti::getLightFontName()
{
    return platform::SettingsFile::shared().value(QStringLiteral("FontLight")).toString();
}

QString CommUti::getRegularFontName()
{
    return platform::SettingsFile::shared().value(QStringLiteral("FontRegular")).toString();
}

QString CommUti::getBoldFontName()
{
    return platform::SettingsFile::shared().value(QStringLiteral("FontBold")).toString();
}
