#pragma once
#include <QString>

class QWidget;

// The platform's standard dialogs, kept out of the screens' dark look: a
// dialog parented to a screen would take the screen's style sheet (light
// labels, dark lists) into its light frame. These have their own window,
// the style's own palette, and stay modal over `over`'s window.
namespace StandardDialogs {

QString getSaveFileName(QWidget* over, const QString& caption, const QString& proposedPath, const QString& filter);
void warning(QWidget* over, const QString& title, const QString& text);

}  // namespace StandardDialogs
