#include "TopView/NSColorTCAdditions.h"

QColor QZ_CGColorCreate(const QColor& color)
{
    return color.toRgb();
}
