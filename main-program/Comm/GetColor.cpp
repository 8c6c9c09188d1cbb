#include "Comm/GetColor.h"

QColor getColor(float red, float green, float blue, float alpha)
{
    return QColor::fromRgbF(red / 255.0f, green / 255.0f, blue / 255.0f, alpha);
}
