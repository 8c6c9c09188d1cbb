#pragma once
#include <QFont>
#include <QString>

// The three font names of the settings file, kept in memory so that drawn
// controls never read the file while painting. The names are read again
// when the file changes on disk (it is replaced by an atomic rename, so its
// folder is watched too).
class FontCache
{
public:
    FontCache() = delete;

    // The named font at `pointSize`; the application font at the same weight
    // when the name is missing or no such font is installed.
    static QFont lightFont(qreal pointSize);
    static QFont regularFont(qreal pointSize);
    static QFont boldFont(qreal pointSize);

    // The names as last read ("" when missing), for callers that need the text.
    static QString lightFontName();
    static QString regularFontName();
    static QString boldFontName();

    // Reads the file again now; for callers that have just written it.
    static void reload();
};
