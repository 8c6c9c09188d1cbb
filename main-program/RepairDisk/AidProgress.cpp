#include "RepairDisk/AidProgress.h"

#include "Comm/GetColor.h"

#include <QPainter>
#include <QPainterPath>

AidProgress::AidProgress(QWidget* parent) : QWidget(parent) {}

void AidProgress::changeProgressValue(float percent)
{
    const float w = float(width());
    m_used = w * percent / 100.0f;
    if (m_used > w - 1)
        m_used = w;
    update();
}

void AidProgress::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath track;
    track.addRoundedRect(QRectF(rect()), 3.5, 3.5);
    painter.fillPath(track, getColor(37, 47, 57, 1));
    if (m_used <= 0)
        return;
    QPainterPath done;
    done.addRoundedRect(QRectF(0, 0, m_used, height()), 3.5, 3.5);
    painter.fillPath(done, getColor(95, 130, 252, 1));
}
