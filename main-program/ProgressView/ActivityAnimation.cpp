#include "ProgressView/ActivityAnimation.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

ActivityAnimation* ActivityAnimation::attach(QLabel* label)
{
    return label ? new ActivityAnimation(label) : nullptr;
}

ActivityAnimation::ActivityAnimation(QLabel* label) : QObject(label), m_label(label)
{
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, &ActivityAnimation::step);
    label->setAlignment(Qt::AlignCenter);
    label->installEventFilter(this);
    show();
    if (label->isVisible())
        m_timer.start();
}

bool ActivityAnimation::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_label) {
        // Show and hide reach the label when its page is shown or hidden too.
        if (event->type() == QEvent::Show)
            m_timer.start();
        else if (event->type() == QEvent::Hide)
            m_timer.stop();
    }
    return QObject::eventFilter(watched, event);
}

void ActivityAnimation::step()
{
    m_frame = (m_frame + 1) % kFrameCount;
    show();
}

void ActivityAnimation::show()
{
    if (m_label)
        m_label->setPixmap(frameImage(m_frame, m_label->size(), m_label->devicePixelRatioF()));
}

QPixmap ActivityAnimation::frameImage(int frame, QSize size, qreal ratio)
{
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    if (size.isEmpty())
        return pixmap;
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width();
    const qreal h = size.height();
    const qreal t = qreal(frame % kFrameCount) / kFrameCount;  // 0 .. 1 through one sheet

    // The shredder's mouth, a third of the way down.
    const qreal mouthY = h * 0.42;
    const QRectF body(w * 0.18, mouthY, w * 0.64, h * 0.16);

    // The sheet sinks into the mouth; what has gone in comes out as strips.
    const qreal sheetW = w * 0.34;
    const qreal sheetH = h * 0.5;
    const qreal sheetX = (w - sheetW) / 2;
    const qreal sheetTop = mouthY - sheetH + t * sheetH;
    p.save();
    p.setClipRect(QRectF(0, 0, w, mouthY));
    QPainterPath sheet;
    sheet.addRoundedRect(QRectF(sheetX, sheetTop, sheetW, sheetH), 2, 2);
    p.fillPath(sheet, QColor(237, 239, 240));
    p.setPen(QPen(QColor(150, 160, 175), 1));
    for (int line = 1; line <= 4; ++line) {
        const qreal y = sheetTop + line * sheetH / 6;
        p.drawLine(QPointF(sheetX + 4, y), QPointF(sheetX + sheetW - 4, y));
    }
    p.restore();

    const int strips = 5;
    const qreal stripW = sheetW / (strips * 2 - 1);
    const qreal outLength = t * (h - body.bottom() - 2);
    for (int i = 0; i < strips; ++i) {
        const qreal x = sheetX + i * 2 * stripW;
        const qreal wave = (i % 2) ? 0.85 : 1.0;
        p.fillRect(QRectF(x, body.bottom(), stripW, outLength * wave), QColor(237, 239, 240, 200));
    }

    QPainterPath mouth;
    mouth.addRoundedRect(body, 3, 3);
    p.fillPath(mouth, QColor(18, 115, 239));
    p.fillRect(QRectF(body.x() + 6, body.center().y() - 1, body.width() - 12, 2), QColor(10, 60, 130));
    return pixmap;
}
