#include "Main/Tools/CustemTextFieldCell.h"

CustemTextFieldCell::CustemTextFieldCell()
    : QProxyStyle(nullptr)
{
}

int CustemTextFieldCell::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    if (metric == PM_TextCursorWidth)
        return 0;
    return QProxyStyle::pixelMetric(metric, option, widget);
}
