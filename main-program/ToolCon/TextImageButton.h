#pragma once
#include "ToolCon/FourStateImageButton.h"

// The standard labelled picture button of the dark screens and dialogs.
class TextImageButton : public FourStateImageButton
{
    Q_OBJECT
public:
    explicit TextImageButton(QWidget* parent = nullptr);
    TextImageButton(const QRect& frame, QWidget* parent);

    // Set the pictures first: the label's font depends on the normal picture.
    void setTextWithName(const QString& text, float fontSize);


protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int labelHeight = 0;
    bool roundedCorners = false;
};
