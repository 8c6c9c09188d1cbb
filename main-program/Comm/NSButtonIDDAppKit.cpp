#include "Comm/NSButtonIDDAppKit.h"

#include <QAbstractButton>
#include <QPalette>

namespace NSButtonIDDAppKit {

QColor titleTextColor(const QAbstractButton*)
{
    return Qt::white;
}

void setTitleTextColor(QAbstractButton* button, const QColor& color)
{
    if (!button)
        return;
    QPalette p = button->palette();
    p.setColor(QPalette::ButtonText, color);
    button->setPalette(p);
}

}  // namespace NSButtonIDDAppKit
