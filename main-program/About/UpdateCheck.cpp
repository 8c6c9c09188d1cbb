#include "About/UpdateCheck.h"

#include "platform/NetworkProbe.h"
#include "platform/PlistFile.h"
#include "platform/SettingsFile.h"

#include <QMutex>
#include <QUrl>

#include <limits>

namespace UpdateCheck {

namespace {
QMutex g_probeMutex;
Probe g_probe;
}  // namespace

std::optional<QVariantMap> parseUpdateList(const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.size() > kMaxListBytes)
        return std::nullopt;
    const auto root = platform::plist::parse(bytes);
    if (!root || root->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return root->toMap();
}

ListRead readUpdateList(const QString& url)
{
    using Failure = platform::Fetched::Failure;
    const auto failed = [](const QString& why) {
        return ListRead{std::nullopt, QStringLiteral("The check for updates could not be made: %1.").arg(why)};
    };
    const QUrl u(url);
    const QString scheme = u.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("file"))
        return failed(QStringLiteral("the update address is not a web address"));
    const platform::Fetched fetched = platform::fetch(u, kFetchTimeoutMs, kMaxListBytes);
    switch (fetched.failure) {
    case Failure::None:
        break;
    case Failure::BadAddress:
        return failed(QStringLiteral("the update address is not a web address"));
    case Failure::Unreachable:
        return failed(QStringLiteral("the update server could not be reached"));
    case Failure::TimedOut:
        return failed(QStringLiteral("the update server did not answer within %1 seconds").arg(kFetchTimeoutMs / 1000));
    case Failure::HttpError:
        return failed(QStringLiteral("the update server answered with HTTP error %1").arg(fetched.httpStatus));
    case Failure::TooLarge:
        return failed(QStringLiteral("the update server's answer is far larger than an update list"));
    case Failure::Unreadable:
        return failed(QStringLiteral("the update list could not be read"));
    }
    const auto list = parseUpdateList(fetched.body.value_or(QByteArray()));
    if (!list)
        return failed(QStringLiteral("the update server's answer is not an update list"));
    if (!readBuildNumber(list->value(QStringLiteral("VersionCheck"))))
        return failed(QStringLiteral("the update list names no build number"));
    return ListRead{list, QString()};
}

std::optional<QVariantMap> fetchUpdateList(const QString& url)
{
    return readUpdateList(url).list;
}

namespace {

// A number read from text the way the original reading of a number from
// text does it: leading white space, an optional sign, then the digits up to
// the first other character ("12abc" is 12). No digit at all reads as 0.
qint64 leadingInteger(const QString& text, bool* ok)
{
    int i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+'))
        negative = text.at(i++) == u'-';
    qint64 n = 0;
    bool any = false;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        any = true;
        if (n < (qint64(1) << 40))  // far past int's range; clamped by the caller
            n = n * 10 + (text.at(i).unicode() - u'0');
    }
    *ok = any;
    return negative ? -n : n;
}

}  // namespace

int buildNumber(const QVariant& value)
{
    return readBuildNumber(value).value_or(0);
}

std::optional<int> readBuildNumber(const QVariant& value)
{
    qint64 n = 0;
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        n = value.toLongLong(&ok);
        break;
    case QMetaType::QString:
        n = leadingInteger(value.toString(), &ok);
        break;
    default:
        break;
    }
    if (!ok)
        return std::nullopt;
    return static_cast<int>(std::clamp<qint64>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int localBuildNumber()
{
    return buildNumber(platform::SettingsFile::shared().value(QStringLiteral("VersionCheck")));
}

int fetchedBuildNumber(const std::optional<QVariantMap>& list)
{
    return list ? buildNumber(list->value(QStringLiteral("VersionCheck"))) : 0;
}

bool isNewer(const std::optional<QVariantMap>& list, int localBuild)
{
    return fetchedBuildNumber(list) > localBuild;
}

std::optional<QString> displayText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Double:
        return value.toString();
    default:
        return std::nullopt;
    }
}

QStringList whatIsNewLines(const QVariantMap& list)
{
    QVariantMap rest = list;
    rest.remove(QStringLiteral("VersionCheck"));
    rest.remove(QStringLiteral("Version"));
    QStringList lines;
    for (int j = 1; j <= rest.size(); ++j) {
        if (const auto text = displayText(rest.value(QString::number(j))))
            lines << *text;
    }
    return lines;
}

Probe networkProbe()
{
    QMutexLocker lock(&g_probeMutex);
    if (g_probe)
        return g_probe;
    return [] { return true; };
}

void setNetworkProbe(Probe probe)
{
    QMutexLocker lock(&g_probeMutex);
    g_probe = std::move(probe);
}

}  // namespace UpdateCheck
