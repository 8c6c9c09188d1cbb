#pragma once
class QWidget;

// The program's dark look for the launcher's two windows, which cannot use
// the main program's widget kit.
namespace LauncherLook {
void apply(QWidget* window);
}
