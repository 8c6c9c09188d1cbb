#pragma once
#include <QColor>

// Red, green and blue on 0-255, alpha on 0-1.
QColor getColor(float red, float green, float blue, float alpha);
