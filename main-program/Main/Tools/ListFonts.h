#pragma once
#include <QFont>

// The settings file's three font names, read once per process: the program
// writes them at launch, before any list is drawn, and painting must not
// re-read the settings file. An unset name gives the application font.
namespace ListFonts {
QFont light(qreal pointSize);
QFont regular(qreal pointSize);
QFont bold(qreal pointSize);
}  // namespace ListFonts
