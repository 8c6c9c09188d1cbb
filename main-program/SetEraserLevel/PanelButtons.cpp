#include "SetEraserLevel/PanelButtons.h"

#include <QAbstractButton>
#include <QFont>

namespace PanelButtons {

void setUp(QAbstractButton* button, const QString& title)
{
    button->setText(title);
    QFont font = button->font();
    font.setPointSizeF(14);
    button->setFont(font);
    button->setEnabled(true);
}

}  // namespace PanelButtons
