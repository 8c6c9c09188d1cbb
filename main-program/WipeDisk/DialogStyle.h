#pragma once
#include <QString>
#include <QList>
#include <QStringList>

class TextImageButton;
class QLabel;

// Small helpers the wiper's dialogs share.
namespace DialogStyle {

// A dialog button: its four pictures (normal, pressed, hover, disabled), its
// text at `points`, enabled.
void setUpButton(TextImageButton* button, const QStringList& images, const QString& text, int points);

// A dialog's texts in the font cache's fonts: the title regular at 16
// points, the other texts light at 12.
void setTextFonts(QLabel* title, const QList<QLabel*>& texts);

// The label's whole text as one link to `url`, underlined, in the link colour.
void linkWholeLabel(QLabel* label, const QString& url);
// Styles the first occurrence of each phrase in the label's text; a phrase
// that is missing leaves the text as it was. `style` is CSS for the phrase,
// `url` (optional) makes it a link.
void styleFirstOccurrences(QLabel* label, const QStringList& phrases, const QString& style, const QString& url = {});

}  // namespace DialogStyle
