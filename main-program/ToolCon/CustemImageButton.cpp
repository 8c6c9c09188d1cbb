#include "ToolCon/CustemImageButton.h"

#include "Comm/GetColor.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

struct Colours
{
    QColor normal, hover, pressed, disabled, title;
};

Colours coloursOf(quint64 type)
{
    const QColor white = getColor(255, 255, 255, 1);
    const QColor grey = getColor(213, 212, 213, 0.8f);
    const QColor darkText = getColor(45, 45, 45, 0.8f);
    switch (type) {
    case 0: return {getColor(127, 207, 220, 1), getColor(114, 185, 197, 1), getColor(165, 221, 230, 1), getColor(196, 200, 221, 1), white};
    case 1: return {getColor(61, 73, 110, 1), getColor(54, 65, 98, 1), getColor(99, 109, 139, 1), getColor(196, 200, 221, 1), white};
    case 2: return {white, white, white, grey, getColor(114, 185, 197, 1)};
    case 3: return {white, white, white, grey, darkText};
    case 4: return {getColor(253, 253, 126, 1), getColor(227, 227, 113, 1), getColor(253, 253, 146, 1), getColor(119, 127, 115, 1), darkText};
    default: {
        const QColor orange = getColor(240, 149, 28, 1);
        return {orange, orange, orange, orange, white};
    }
    }
}

}  // namespace

CustemImageButton::CustemImageButton(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NoMousePropagation);
}

CustemImageButton::CustemImageButton(const QRect& frame, QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NoMousePropagation);
    setGeometry(frame);
    isDisabled = true;
}

void CustemImageButton::setTextWithName(const QString& title, const QFont& font, quint64 colorType,
                                        const QString& identifier)
{
    myColorType = colorType;
    titleFont = font;
    titleStr = title;
    isBeginDraw = true;
    // An empty picture view that carries the identifier; one per button.
    if (!imageView) {
        imageView = new QLabel(this);
        imageView->setAttribute(Qt::WA_TransparentForMouseEvents);
        imageView->show();
    }
    imageView->setGeometry(rect());
    imageView->setObjectName(identifier);
    update();
}

void CustemImageButton::setButtonEnabled(bool enabled)
{
    // Enabling also shows the hover colour until the pointer next leaves.
    m_isEnabled = enabled;
    isDisabled = enabled;
    m_isFocus = enabled;
    update();
}

void CustemImageButton::setIsFocus(bool focus)
{
    m_isFocus = focus;
    update();
}

float CustemImageButton::getStringWidthWith(const QString& text, const QFont& font, const QSizeF& size)
{
    if (text.isEmpty())
        return 0;
    const QFontMetricsF metrics(font);
    return float(metrics.boundingRect(QRectF(QPointF(0, 0), size), Qt::TextWordWrap, text).width());
}

QColor CustemImageButton::fillColor() const
{
    const Colours c = coloursOf(myColorType);
    if (!isEnabled() || !isDisabled || !m_isEnabled)
        return c.disabled;
    if (isTracking)
        return c.pressed;
    if (m_isFocus)
        return c.hover;
    return c.normal;
}

QColor CustemImageButton::titleColor() const
{
    return coloursOf(myColorType).title;
}

void CustemImageButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath fill;
    fill.addRoundedRect(box, 5, 5);
    painter.fillPath(fill, fillColor());
    if (myColorType == 2 || myColorType == 3) {
        QPainterPath outline;
        outline.addRoundedRect(box, 3, 3);
        painter.setPen(QPen(myColorType == 2 ? getColor(114, 185, 197, 1) : QColor(Qt::gray), 1.0));
        painter.drawPath(outline);
    }
    if (!isBeginDraw)
        return;
    const float w = getStringWidthWith(titleStr, titleFont, QSizeF(size()));
    const qreal h = (titleFont.pixelSize() > 0 ? titleFont.pixelSize() : titleFont.pointSizeF()) > 15 ? 22 : 20;
    painter.setFont(titleFont);
    painter.setPen(titleColor());
    painter.drawText(QRectF((width() - w) / 2, (height() - h) / 2, w + 5, h), Qt::AlignLeft | Qt::AlignVCenter,
                     titleStr);
}

void CustemImageButton::mousePressEvent(QMouseEvent* event)
{
    // Taken either way, so the release comes back here and nothing behind reacts.
    event->accept();
    if (!isDisabled)
        return;
    isTracking = m_isEnabled;
    update();
}

void CustemImageButton::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    isTracking = false;
    update();
    if (m_isEnabled && m_delegate && !m_buttonAction.isEmpty())
        QMetaObject::invokeMethod(m_delegate, m_buttonAction.constData());
}

void CustemImageButton::enterEvent(QEnterEvent*)
{
    if (m_isEnabled)
        m_isFocus = true;
    update();
}

void CustemImageButton::leaveEvent(QEvent*)
{
    m_isFocus = false;
    update();
}
