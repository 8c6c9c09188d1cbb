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

    // The named font, `size` pixels high at scale 1; the application font at
    // the same weight when the name is missing or no such font is installed.
    // Sizes are pixels, like the frames the texts sit in, so both keep their
    // proportions whatever the screen's dots per inch, and a high-DPI screen
    // scales both together.
    static QFont lightFont(qreal size);
    static QFont regularFont(qreal size);
    static QFont boldFont(qreal size);

    // The size texts take where a screen names none (labels of the
    // interface files, menus, tool tips).
    static constexpr int kBodySize = 13;
    // Texts that share a role share a size: the heading of a tool's screen
    // or side panel, and the title of a dialog.
    static constexpr int kScreenTitleSize = 18;
    static constexpr int kDialogTitleSize = 16;

    // `font` with the same number as pixels: for the few texts that are given
    // a size in points elsewhere.
    static QFont inPixels(QFont font, qreal size);

    // The names as last read ("" when missing), for callers that need the text.
    static QString lightFontName();
    static QString regularFontName();
    static QString boldFontName();

    // Reads the file again now; for callers that have just written it.
    static void reload();
    // The names this launch stores, in use before the file holds them: their
    // write may still be under way off the main thread.
    static void useNames(const QString& light, const QString& regular, const QString& bold);
};
