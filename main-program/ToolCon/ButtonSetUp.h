#pragma once
#include <QString>
#include <QStringList>

class FourStateImageButton;
class TextImageButton;

// Buttons loaded from interface files start disabled; every owner gives each
// its four pictures (normal, pressed, hover, disabled) and enables it.
void setUpImageButton(FourStateImageButton* button, const QStringList& images);
// The same for a labelled button, with its title at `points`.
void setUpTextButton(TextImageButton* button, const QStringList& images, const QString& text, float points);
