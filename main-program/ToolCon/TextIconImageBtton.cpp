#include "ToolCon/TextIconImageBtton.h"

#include "Comm/FontCache.h"
#include "Comm/GetColor.h"
#include "platform/ImageStore.h"

#include <QLabel>
#include <QPainter>

TextIconImageBtton::TextIconImageBtton(QWidget* parent) : FourStateImageButton(parent) {}

TextIconImageBtton::TextIconImageBtton(const QRect& frame, QWidget* parent) : FourStateImageButton(frame, parent) {}

QRect TextIconImageBtton::labelFrame() const
{
    return {15, (height() - labelHeight) / 2, width() - 15, labelHeight};
}

void TextIconImageBtton::setTextWithName(const QString& text, float fontSize)
{
    if (!textField) {
        labelHeight = fontSize < 16 ? 16 : 17;
        textField = createLabel();
        textField->setFont(fontSize == 16 ? FontCache::regularFont(fontSize) : FontCache::lightFont(fontSize));
        textField->setGeometry(labelFrame());
        textField->show();
    }
    textField->setText(text);
    refreshAccessibleName();
    // One icon for the button's life, however often the label changes.
    if (!addIcon) {
        addIcon = new QLabel(this);
        // The icon and the label centred on the same line.
        addIcon->setGeometry(10, (height() - 12) / 2, 10, 12);
        addIcon->setPixmap(platform::imageNamed(QStringLiteral("ic_add"), QSize(10, 12), devicePixelRatioF()));
        addIcon->setScaledContents(true);
        addIcon->setAttribute(Qt::WA_TransparentForMouseEvents);
        addIcon->show();
    }
    update();
}

void TextIconImageBtton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool dimFamily = normalImage == QLatin1String("btn_secl_normal");
    if (normalImage.isEmpty()) {
        setLabelColor(getColor(255, 255, 255, dimFamily ? 0.7f : 1.0f));
        drawPlainButton(painter);
        return;
    }
    if (look() == Look::Disabled) {
        drawPicture(painter, disableImage);
        setLabelColor(getColor(255, 255, 255, 1.0f));
        return;
    }
    setLabelColor(getColor(255, 255, 255, dimFamily ? 0.7f : 1.0f));
    drawPicture(painter, imageNameFor(look()));
}

void TextIconImageBtton::resizeEvent(QResizeEvent* event)
{
    FourStateImageButton::resizeEvent(event);
    if (textField)
        textField->setGeometry(labelFrame());
    if (addIcon)
        addIcon->move(10, (height() - 12) / 2);
}
