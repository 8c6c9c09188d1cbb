#pragma once

#include <QString>

class QMenu;
class QPalette;

// The program's dark palette for the pieces the platform would draw in its
// own light colours: tool tips and context menus.
namespace DarkLook {

// The palette the tips and menus are drawn with.
QPalette palette();
// Every tool tip of the program, from now on.
void applyToToolTips();
// One menu (and its submenus, which take the parent's look).
void applyToMenu(QMenu* menu);

// A tool tip that shows `text` as it stands: a name that looks like markup
// (a file called "A<b></b>") is never read as markup.
QString plainToolTip(const QString& text);

}  // namespace DarkLook
