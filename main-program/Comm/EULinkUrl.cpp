#include "Comm/EULinkUrl.h"

#include "platform/SettingsFile.h"

QString EULinkUrl::GetUrl(const QString& key)
{
    const QVariant links = platform::SettingsFile::shared().value(QStringLiteral("Link"));
    if (links.typeId() != QMetaType::QVariantMap)
        return QString();
    return links.toMap().value(key).toString();
}
