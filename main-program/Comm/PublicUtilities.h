#pragma once
#include <QString>
#include <QUrl>

#include <cstdint>

// Class operations only; never instantiated.
class PublicUtilities
{
public:
    PublicUtilities() = delete;

    // Settings-file flags ("WipeFileHistory", "WipeVolumeHistory").
    static QString getUpDataHistoryStr(const QString& key);
    static void writeUpDataHistoryStr(const QString& key, const QString& value);

    // "2.50 GB" -> 2500000000; drops the last two characters before reading the number.
    static uint64_t volSpaceFromString(const QString& text);

    static int getSystemVersion();
    static void getSystemVersionMajor(int* major, int* minor, int* bugFix);

    // Blocks up to 5 s: call it off the main thread.
    static bool isCanBeUseNetWork(const QUrl& homePage = makerHomePage());
    static QUrl makerHomePage();

    // Erasure level: the display name of the stored `EraserTimes`; any value
    // that is not one of the five levels reads as the first.
    static QString getEraserTimes();
    static QString getEraserTimes(int level);
};
