#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>

// Reading the update list. What comes from the server is untrusted: a
// bounded fetch, a dictionary at the root, and values that are not what they
// should be read as nothing rather than trusted.
namespace UpdateCheck {

constexpr int kFetchTimeoutMs = 10000;
constexpr qint64 kMaxListBytes = 1 << 20;

// The list at `url` (http, https or file), or nothing when it cannot be
// fetched in time, is too large, does not parse, or has no dictionary root.
std::optional<QVariantMap> fetchUpdateList(const QString& url);

// The list as read, or why it could not be: `failure` is one sentence for the
// user ("The check for updates could not be made: ..."), empty when `list` is
// set. A list counts as read only when it names a build number.
struct ListRead
{
    std::optional<QVariantMap> list;
    QString failure;
};
ListRead readUpdateList(const QString& url);
std::optional<QVariantMap> parseUpdateList(const QByteArray& bytes);

// A build number: an integer, or a text holding one; anything else is 0.
// Clamped to the signed 32-bit range.
int buildNumber(const QVariant& value);
// The same, or nothing where the value holds no number at all.
std::optional<int> readBuildNumber(const QVariant& value);
// `VersionCheck` of the settings file, read fresh.
int localBuildNumber();
int fetchedBuildNumber(const std::optional<QVariantMap>& list);
bool isNewer(const std::optional<QVariantMap>& list, int localBuild);

// A value shown to the user: texts as they are, numbers as digits, and
// nothing for dictionaries, arrays, data and dates.
std::optional<QString> displayText(const QVariant& value);

// The lines of what is new: under "1", "2", ... up to the number of keys other
// than `VersionCheck` and `Version`. A missing or unshowable line is left out.
QStringList whatIsNewLines(const QVariantMap& list);

// The network probe used before a check; tests replace it. By default it
// lets the fetch of the list itself decide, so a reachable update server is
// never reported unreachable because some other address is.
using Probe = std::function<bool()>;
Probe networkProbe();
void setNetworkProbe(Probe probe);

}  // namespace UpdateCheck
