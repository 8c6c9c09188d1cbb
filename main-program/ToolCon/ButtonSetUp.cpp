#include "ToolCon/ButtonSetUp.h"

#include "ToolCon/TextImageButton.h"

void setUpImageButton(FourStateImageButton* button, const QStringList& images)
{
    button->setImageFromFileNormalName(images.value(0), images.value(1), images.value(2), images.value(3));
    button->setButtonEnabled(true);
}

void setUpTextButton(TextImageButton* button, const QStringList& images, const QString& text, float points)
{
    setUpImageButton(button, images);
    button->setTextWithName(text, points);
}
