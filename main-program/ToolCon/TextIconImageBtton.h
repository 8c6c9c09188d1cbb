#pragma once
#include "ToolCon/FourStateImageButton.h"

class QLabel;

// A labelled picture button with a small add icon left of its label.
class TextIconImageBtton : public FourStateImageButton
{
    Q_OBJECT
public:
    explicit TextIconImageBtton(QWidget* parent = nullptr);
    TextIconImageBtton(const QRect& frame, QWidget* parent);

    void setTextWithName(const QString& text, float fontSize);

    QLabel* label() const { return textField; }
    QLabel* iconView() const { return addIcon; }
    QColor labelColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setLabelColor(const QColor& color);

    QLabel* textField = nullptr;
    QLabel* addIcon = nullptr;
    int labelHeight = 0;
};
