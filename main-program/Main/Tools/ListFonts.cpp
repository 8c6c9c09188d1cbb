#include "Main/Tools/ListFonts.h"

#include "Comm/CommUti.h"

#include <QApplication>

namespace {

QFont named(const QString& family, qreal pointSize, QFont::Weight fallbackWeight)
{
    QFont font = QApplication::font();
    if (!family.isEmpty())
        font.setFamily(family);
    else
        font.setWeight(fallbackWeight);
    font.setPointSizeF(pointSize);
    return font;
}

}  // namespace

namespace ListFonts {

QFont light(qreal pointSize)
{
    static const QString family = CommUti::getLightFontName();
    return named(family, pointSize, QFont::Light);
}

QFont regular(qreal pointSize)
{
    static const QString family = CommUti::getRegularFontName();
    return named(family, pointSize, QFont::Normal);
}

QFont bold(qreal pointSize)
{
    static const QString family = CommUti::getBoldFontName();
    return named(family, pointSize, QFont::Bold);
}

}  // namespace ListFonts
