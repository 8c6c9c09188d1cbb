#include "SetEraserLevel/PanelButtons.h"

#include "ToolCon/TextImageButton.h"

namespace PanelButtons {

void setUp(TextImageButton* button, const QString& title)
{
    // The label's font follows the picture family, so the pictures go first.
    button->setImageFromFileNormalName(QStringLiteral("btn_secl_normal"), QStringLiteral("btn_secl_press"),
                                       QStringLiteral("btn_secl_hover"), QStringLiteral("btn_secl_disable"));
    button->setTextWithName(title, 14);
    button->setButtonEnabled(true);
}

}  // namespace PanelButtons
