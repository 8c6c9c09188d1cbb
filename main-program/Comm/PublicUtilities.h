#pragma once
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>

class QWidget;

// Class operations only; never instantiated.
class PublicUtilities
{
public:
    PublicUtilities() = delete;

    // Settings-file flags ("WipeFileHistory", "WipeVolumeHistory").
    static QString getUpDataHistoryStr(const QString& key);
    static void writeUpDataHistoryStr(const QString& key, const QString& value);
    // A run the history could not store says so rather than pass as recorded;
    // the notice is window-modal and deletes itself.
    static void showHistoryNotRecorded(QWidget* window, const QString& text);

    // "2.50 GB" -> 2500000000; drops the last two characters before reading the number.
    static uint64_t volSpaceFromString(const QString& text);

    // Where the version's parts come from. Each source returns 0 and sets its
    // value, or returns an error code. `packed` is the whole version as
    // binary-coded decimal (0x1039 is 10.3.9), usable only up to 0x103F.
    struct VersionSources
    {
        std::function<long(int*)> packed;
        std::function<long(int*)> major;
        std::function<long(int*)> minor;
        std::function<long(int*)> bugFix;
    };
    static VersionSources platformVersionSources();

    // Major times 100 plus minor: 10.9 is 1009, 11.2 is 1102.
    static int getSystemVersion();
    static int getSystemVersion(const VersionSources& sources);
    // A source that fails gives 10.0.0, logged with its error.
    static void getSystemVersionMajor(int* major, int* minor, int* bugFix);
    static void getSystemVersionMajor(const VersionSources& sources, int* major, int* minor, int* bugFix);

    // Blocks up to 5 s: call it off the main thread.
    static bool isCanBeUseNetWork(const QUrl& homePage = makerHomePage());
    static QUrl makerHomePage();

    // Erasure level: the display name of the stored `EraserTimes`; any value
    // that is not one of the five levels reads as the first.
    static QString getEraserTimes();
    static QString getEraserTimes(int level);
};
