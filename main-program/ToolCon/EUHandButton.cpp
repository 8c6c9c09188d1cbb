#include "ToolCon/EUHandButton.h"

EUHandButton::EUHandButton(QWidget* parent) : QPushButton(parent)
{
    setFlat(true);
}

void EUHandButton::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    setCursor(Qt::PointingHandCursor);
}

void EUHandButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    setCursor(Qt::ArrowCursor);
}
