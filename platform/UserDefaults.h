#pragma once
#include <QSettings>
#include <QString>

#include <memory>

namespace platform {

// The process's own user defaults (root's for the main program, the user's
// own for the launcher): ~/.config/tarnwick-vantoly/tarnwick-vantoly.conf.
std::unique_ptr<QSettings> userDefaults();

int userDefaultInteger(const QString& key, int fallback = 0);
void setUserDefaultInteger(const QString& key, int value);

}  // namespace platform
