#include "Eraser/LauncherLook.h"

#include <QWidget>

namespace LauncherLook {

void apply(QWidget* window)
{
    // The dark panel 50,50,62 with the primary button's blue, in the
    // program's own font.
    window->setStyleSheet(QStringLiteral(
        "QWidget { font-family: \"Lato\"; }"
        "QDialog { background: rgb(50,50,62); }"
        "QLabel { color: rgb(230,230,235); }"
        "QLabel#titleLabel, QLabel#failTitleLabel, QLabel#successTitleLabel, QLabel#noticeTitleLabel"
        " { font-size: 15px; font-weight: bold; }"
        "QPushButton { color: white; background: rgb(56,132,255); border: none; border-radius: 4px;"
        " padding: 6px 22px; }"
        "QPushButton:hover { background: rgb(82,150,255); }"
        "QPushButton:pressed { background: rgb(40,110,220); }"
        "QPushButton:disabled { background: rgb(90,90,104); color: rgb(160,160,170); }"
        "QProgressBar { background: rgb(36,36,46); border: none; border-radius: 3px; max-height: 6px; }"
        "QProgressBar::chunk { background: rgb(56,132,255); border-radius: 3px; }"));
}

}  // namespace LauncherLook
