#pragma once
#include <QColor>
#include <QProxyStyle>

// The search field's look: hides the style's own caret so the field can draw
// it in the insertion-point colour, white at 0.6, whatever its text colour.
class CustemTextFieldCell : public QProxyStyle
{
    Q_OBJECT
public:
    CustemTextFieldCell();

    QColor insertionPointColor() const { return QColor(255, 255, 255, 153); }
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};
