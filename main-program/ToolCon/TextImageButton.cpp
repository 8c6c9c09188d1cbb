#include "ToolCon/TextImageButton.h"

#include "Comm/FontCache.h"
#include "Comm/GetColor.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>

TextImageButton::TextImageButton(QWidget* parent) : FourStateImageButton(parent) {}

TextImageButton::TextImageButton(const QRect& frame, QWidget* parent) : FourStateImageButton(frame, parent) {}

void TextImageButton::setTextWithName(const QString& text, float fontSize)
{
    if (!textField) {
        labelHeight = fontSize >= 16 ? 18 : 17;
        const bool regular = fontSize == 16 || normalImage == QLatin1String("btn_pril_normal");
        textField = createLabel();
        textField->setFont(regular ? FontCache::regularFont(fontSize) : FontCache::lightFont(fontSize));
        textField->setGeometry(0, (height() - labelHeight) / 2 - 1, width(), labelHeight);
        textField->setAutoFillBackground(false);
        textField->show();
    }
    textField->setText(text);
    roundedCorners = true;
    update();
}

void TextImageButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (roundedCorners) {
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), 4, 4);
        painter.setClipPath(clip);
    }
    const bool brightFamily = normalImage == QLatin1String("btn_pril_normal") || normalImage == QLatin1String("btn_main");
    setLabelColor(getColor(255, 255, 255, brightFamily ? 1.0f : 0.7f));
    if (normalImage.isEmpty()) {
        drawPlainButton(painter);
        return;
    }
    switch (look()) {
    case Look::Disabled:
        drawPicture(painter, disableImage);
        setLabelColor(getColor(255, 255, 255, 0.3f));
        break;
    case Look::Pressed:
        if (activeImage.isEmpty())
            return;
        drawPicture(painter, activeImage);
        setLabelColor(getColor(255, 255, 255, 0.4f));
        break;
    case Look::Hover:
        if (hoverImage.isEmpty())
            return;
        drawPicture(painter, hoverImage);
        setLabelColor(getColor(255, 255, 255, 1.0f));
        break;
    case Look::Normal:
        drawPicture(painter, normalImage);
        break;
    }
}

void TextImageButton::resizeEvent(QResizeEvent* event)
{
    FourStateImageButton::resizeEvent(event);
    if (textField)
        textField->setGeometry(0, (height() - labelHeight) / 2 - 1, width(), labelHeight);
}
