#pragma once
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace platform {

// Pictures by the names the screens use ("btn_pri_normal", "ic_history"),
// drawn from the SVG files compiled into the program. An unknown name gives
// a null picture, which draws nothing.
bool hasImage(const QString& name);
// At `size` (the picture's own size when empty), for the given device pixel ratio.
QPixmap imageNamed(const QString& name, QSize size = QSize(), qreal devicePixelRatio = 1.0);
QSize imageSize(const QString& name);
QIcon iconNamed(const QString& name);

}  // namespace platform
