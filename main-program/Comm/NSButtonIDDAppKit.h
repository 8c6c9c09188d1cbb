#pragma once
#include <QColor>

class QAbstractButton;

// The title colour property that interface files set on buttons.
namespace NSButtonIDDAppKit {
// Always white, whatever was set.
QColor titleTextColor(const QAbstractButton* button);
void setTitleTextColor(QAbstractButton* button, const QColor& color);
}  // namespace NSButtonIDDAppKit
