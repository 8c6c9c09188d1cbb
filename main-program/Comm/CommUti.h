#pragma once
#include "Comm/NSStringFSRef.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include <cstdint>

// Class operations only; never instantiated.
class CommUti
{
public:
    CommUti() = delete;

    // Decimal size texts: KB/MB/GB only ("0.00 KB" for 0).
    static QString convertVolSpace(uint64_t bytes);
    // Decimal size texts from "999 byte" up to TB.
    static QString longlongDiskSize(int64_t bytes);
    // "2.50 GB" -> 2500000000; drops the unit and its space, 0 when the number is 0.
    static uint64_t volSpaceFromString(const QString& text);
    // Shared by both size parsers: cut `cut` characters, read a number, scale by the ending.
    static uint64_t parseSizeText(const QString& text, int cut, bool zeroShortCircuit);

    static uint64_t sizeOfFileRef(const FSRef& ref);

    // The search roots of the Uninstaller's three tabs, for the invoking user
    // (never root's home or HOME), the user's own folders first.
    // Applications: the desktop-entry folders (platform/DesktopEntries.h).
    static QStringList applicationPaths();
    // Widgets: GNOME Shell extension and Plasma plasmoid folders.
    static QStringList widgetPaths();
    // Plug-ins: browser plug-in folders, then input-method component folders.
    static QStringList pluginPaths();

    static void writLightFont(const QFont& font);
    static void writRegularFont(const QFont& font);
    static void writBoldFont(const QFont& font);
    static QString getLightFontName();
    static QString getRegularFontName();
    static QString getBoldFontName();
};
