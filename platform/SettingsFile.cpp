#include "platform/SettingsFile.h"

#include "platform/Layout.h"
#include "platform/Log.h"
#include "platform/PlistFile.h"

#include <QMutex>

namespace platform {

SettingsFile::SettingsFile(QString path) : m_path(std::move(path)) {}

SettingsFile SettingsFile::shared()
{
    const Layout& layout = Layout::current();
    const QString seeded = layout.seededStateFile(QStringLiteral("VantolyBase.plist"));
    return SettingsFile(seeded.isEmpty() ? layout.stateFile(QStringLiteral("VantolyBase.plist")) : seeded);
}

std::optional<QVariantMap> SettingsFile::read() const
{
    QString error;
    auto dict = plist::readDictionary(m_path, &error);
    if (!dict)
        log(QStringLiteral("settings %1 unreadable: %2").arg(m_path, error));
    return dict;
}

QVariant SettingsFile::value(const QString& key) const
{
    const auto dict = read();
    return dict ? dict->value(key) : QVariant();
}

bool SettingsFile::setValue(const QString& key, const QVariant& value) const
{
    return setValues({{key, value}});
}

bool SettingsFile::setValues(const QVariantMap& values) const
{
    static QMutex writing;
    const QMutexLocker lock(&writing);
    // A missing or corrupt file is left alone: writing a fresh dictionary
    // would drop the links and version that ship with the installation.
    const auto dict = read();
    if (!dict)
        return false;
    QVariantMap updated = *dict;
    for (auto it = values.begin(); it != values.end(); ++it)
        updated.insert(it.key(), it.value());
    // Compared as they would be written, so a value of another type (the
    // text "1" for the number 1) is a change.
    if (plist::toXml(updated) == plist::toXml(*dict))
        return true;
    QString error;
    if (!plist::writeDictionary(m_path, updated, &error)) {
        log(QStringLiteral("settings %1 not written: %2").arg(m_path, error));
        return false;
    }
    return true;
}

}  // namespace platform
