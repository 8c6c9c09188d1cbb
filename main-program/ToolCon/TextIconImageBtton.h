#pragma once
#include "ToolCon/FourStateImageButton.h"

// A labelled picture button with a small add icon left of its label.
class TextIconImageBtton : public FourStateImageButton
{
    Q_OBJECT
public:
    explicit TextIconImageBtton(QWidget* parent = nullptr);
    TextIconImageBtton(const QRect& frame, QWidget* parent);

    void setTextWithName(const QString& text, float fontSize);

    QLabel* iconView() const { return addIcon; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The label's box, centred in the button's height.
    QRect labelFrame() const;

    QLabel* addIcon = nullptr;
    int labelHeight = 0;
};
