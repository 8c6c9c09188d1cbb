#pragma once
#include <QIcon>
#include <QString>

// The icon a list shows beside a file or folder name. The desktop's icon
// theme is found through its environment, which a program started with
// administrator rights does not keep; without it the theme shipped with the
// system stands in, and a file whose own type has no icon gets its type
// family's, then a plain file's. Every row gets an icon, so names line up.
namespace ListIcons {

QIcon iconFor(const QString& path, bool isDir);

// The theme the icons come from after the first look-up.
QString themeName();

}  // namespace ListIcons
