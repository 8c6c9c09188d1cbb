#pragma once
#include <QString>

class TextImageButton;

// The side panels' and the export dialog's labelled buttons: the secondary
// picture family, a 14-point title, enabled.
namespace PanelButtons {

void setUp(TextImageButton* button, const QString& title);

}  // namespace PanelButtons
