#pragma once
#include <QColor>

// The colour's components, converted to plain RGB, as a new colour.
QColor QZ_CGColorCreate(const QColor& color);
