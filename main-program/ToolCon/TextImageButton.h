#pragma once
#include "ToolCon/FourStateImageButton.h"

class QLabel;

// The standard labelled picture button of the dark screens and dialogs.
class TextImageButton : public FourStateImageButton
{
    Q_OBJECT
public:
    explicit TextImageButton(QWidget* parent = nullptr);
    TextImageButton(const QRect& frame, QWidget* parent);

    // Set the pictures first: the label's font depends on the normal picture.
    void setTextWithName(const QString& text, float fontSize);

    QLabel* label() const { return textField; }
    // The label colour the button's current state shows.
    QColor labelColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setLabelColor(const QColor& color);

    QLabel* textField = nullptr;
    int labelHeight = 0;
    bool roundedCorners = false;
};
