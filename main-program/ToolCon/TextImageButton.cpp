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
    refreshAccessibleName();
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
    const float restAlpha = brightFamily ? 1.0f : 0.7f;
    if (normalImage.isEmpty()) {
        setLabelColor(getColor(255, 255, 255, restAlpha));
        drawPlainButton(painter);
        return;
    }
    // One colour per paint: setting two would repaint the label, and so us, forever.
    QString picture;
    float alpha = restAlpha;
    switch (look()) {
    case Look::Disabled:
        picture = disableImage;
        alpha = 0.3f;
        break;
    case Look::Pressed:
        picture = activeImage;
        alpha = 0.4f;
        break;
    case Look::Hover:
        picture = hoverImage;
        alpha = 1.0f;
        break;
    case Look::Normal:
        picture = normalImage;
        break;
    }
    if (picture.isEmpty() && look() != Look::Disabled)
        alpha = restAlpha;  // no picture for the state: nothing drawn, the family colour stays
    setLabelColor(getColor(255, 255, 255, alpha));
    drawPicture(painter, picture);
}

void TextImageButton::resizeEvent(QResizeEvent* event)
{
    FourStateImageButton::resizeEvent(event);
    if (textField)
        textField->setGeometry(0, (height() - labelHeight) / 2 - 1, width(), labelHeight);
}
