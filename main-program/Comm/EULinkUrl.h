#pragma once
#include <QString>

// The web addresses of the settings file's Link dictionary.
class EULinkUrl
{
public:
    EULinkUrl() = delete;
    // The address under `key`, or an empty text when absent or empty.
    static QString GetUrl(const QString& key);
};
