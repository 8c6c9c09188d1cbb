#include "platform/UserDefaults.h"

namespace platform {

std::unique_ptr<QSettings> userDefaults()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("tarnwick-vantoly"), QStringLiteral("tarnwick-vantoly"));
}

int userDefaultInteger(const QString& key, int fallback)
{
    bool ok = false;
    const int v = userDefaults()->value(key).toInt(&ok);
    return ok ? v : fallback;
}

void setUserDefaultInteger(const QString& key, int value)
{
    auto s = userDefaults();
    s->setValue(key, value);
    s->sync();
}

}  // namespace platform
