#include "ToolCon/TCImageButton.h"

#include "platform/ImageStore.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPainter>

TCImageButton::TCImageButton(QWidget* parent) : FourStateImageButton(parent) {}

TCImageButton::TCImageButton(const QRect& frame, QWidget* parent) : FourStateImageButton(frame, parent) {}

QRectF TCImageButton::pictureRectFor(const QString& normalName) const
{
    return QRectF(QPointF(0, 0), QSizeF(platform::imageSize(normalName)));
}

void TCImageButton::mouseTrackingEnded(QMouseEvent* event)
{
    if (m_delegate)
        m_delegate->moushDownInButton(event);
}

void TCImageButton::setTextWithName(const QString& text, const QRect& frame)
{
    // One label, moved and re-texted by later calls rather than stacked.
    if (!textField) {
        textField = createLabel();
        QFont font(QStringLiteral("Helvetica Light"));
        if (!QFontDatabase::hasFamily(font.family())) {
            font = this->font();
            font.setWeight(QFont::Light);
        }
        font.setPixelSize(15);
        textField->setFont(font);
        textField->setAutoFillBackground(true);
        QPalette p = textField->palette();
        p.setColor(QPalette::Window, palette().color(QPalette::Button));
        p.setColor(QPalette::WindowText, Qt::black);
        textField->setPalette(p);
        textField->show();
    }
    textField->setGeometry(frame);
    textField->setText(text);
    refreshAccessibleName();
}

void TCImageButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (normalImage.isEmpty()) {
        drawPlainButton(painter);
        return;
    }
    drawPicture(painter, imageNameFor(look()));
}
