#include "platform/SettingsFile.h"

#include "platform/Layout.h"
#include "platform/Log.h"
#include "platform/PlistFile.h"

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
    // A missing or corrupt file is left alone: writing a fresh dictionary
    // would drop the links and version that ship with the installation.
    auto dict = read();
    if (!dict)
        return false;
    dict->insert(key, value);
    QString error;
    if (!plist::writeDictionary(m_path, *dict, &error)) {
        log(QStringLiteral("settings %1 not written: %2").arg(m_path, error));
        return false;
    }
    return true;
}

}  // namespace platform
