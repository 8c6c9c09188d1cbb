#include "ToolCon/FourStateImageButton.h"

#include "platform/ImageStore.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace {

QString existingImage(const QString& name)
{
    // A missing picture is simply absent: that state then draws nothing.
    return platform::hasImage(name) ? name : QString();
}

}  // namespace

FourStateImageButton::FourStateImageButton(QWidget* parent) : QAbstractButton(parent)
{
    setUp();
}

FourStateImageButton::FourStateImageButton(const QRect& frame, QWidget* parent) : QAbstractButton(parent)
{
    setUp();
    setGeometry(frame);
    isDisabled = true;
}

void FourStateImageButton::setUp()
{
    // A click on a button that ignores it must not land on what lies behind.
    setAttribute(Qt::WA_NoMousePropagation);
    setFocusPolicy(Qt::NoFocus);
}

void FourStateImageButton::setImageFromFileNormalName(const QString& normal, const QString& active,
                                                       const QString& hover, const QString& disable)
{
    normalImage = existingImage(normal);
    activeImage = existingImage(active);
    hoverImage = existingImage(hover);
    disableImage = existingImage(disable);
    dstRect = pictureRectFor(normal);
    srcRect = dstRect;
    update();
}

QRectF FourStateImageButton::pictureRectFor(const QString&) const
{
    return QRectF(QPointF(0, 0), QSizeF(size()));
}

void FourStateImageButton::setButtonEnabled(bool enabled)
{
    isDisabled = enabled;
    repaint();
}

void FourStateImageButton::setIsFocus(bool focus)
{
    m_isFocus = focus;
    update();
}

FourStateImageButton::Look FourStateImageButton::look() const
{
    if (!isEnabled() || !isDisabled)
        return Look::Disabled;
    if (isTracking)
        return Look::Pressed;
    if (m_isFocus)
        return Look::Hover;
    return Look::Normal;
}

QString FourStateImageButton::imageNameFor(Look look) const
{
    switch (look) {
    case Look::Disabled: return disableImage;
    case Look::Pressed: return activeImage;
    case Look::Hover: return hoverImage;
    case Look::Normal: return normalImage;
    }
    return QString();
}

QSize FourStateImageButton::sizeHint() const
{
    const QSize own = platform::imageSize(normalImage);
    return own.isValid() ? own : QSize(80, 30);
}

void FourStateImageButton::drawPicture(QPainter& painter, const QString& name) const
{
    if (name.isEmpty() || dstRect.isEmpty())
        return;
    const QPixmap picture = platform::imageNamed(name, dstRect.size().toSize(), devicePixelRatioF());
    painter.drawPixmap(dstRect.topLeft(), picture);
}

void FourStateImageButton::drawPlainButton(QPainter& painter)
{
    QStyleOptionButton option;
    option.initFrom(this);
    if (isTracking)
        option.state |= QStyle::State_Sunken;
    style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
}

void FourStateImageButton::mousePressEvent(QMouseEvent* event)
{
    if (!isDisabled) {
        event->accept();
        return;
    }
    if (isEnabled()) {
        isTracking = true;
        repaint();
    }
    QAbstractButton::mousePressEvent(event);
}

void FourStateImageButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!isTracking) {
        event->accept();
        return;
    }
    QAbstractButton::mouseMoveEvent(event);
}

void FourStateImageButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isTracking) {
        // The press was ignored; so is its release.
        event->accept();
        return;
    }
    QAbstractButton::mouseReleaseEvent(event);
    isTracking = false;
    // Released outside: the pointer has left, whatever the window system says later.
    if (!rect().contains(event->position().toPoint()))
        m_isFocus = false;
    repaint();
    mouseTrackingEnded(event);
}

void FourStateImageButton::keyPressEvent(QKeyEvent* event)
{
    // The pictures are the only sign of a press; the keyboard never presses these buttons.
    event->ignore();
}

void FourStateImageButton::keyReleaseEvent(QKeyEvent* event)
{
    event->ignore();
}

void FourStateImageButton::enterEvent(QEnterEvent*)
{
    if (isEnabled()) {
        m_isFocus = true;
        repaint();
    }
}

void FourStateImageButton::leaveEvent(QEvent*)
{
    m_isFocus = false;
    repaint();
}

void FourStateImageButton::changeEvent(QEvent* event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        update();
}

void FourStateImageButton::resizeEvent(QResizeEvent* event)
{
    QAbstractButton::resizeEvent(event);
    // Interface-file layouts settle the size after the owner set the pictures.
    if (!normalImage.isEmpty()) {
        dstRect = pictureRectFor(normalImage);
        srcRect = dstRect;
    }
}

QLabel* FourStateImageButton::createLabel()
{
    auto* label = new QLabel(this);
    label->setForegroundRole(QPalette::WindowText);
    label->setAlignment(Qt::AlignCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QColor FourStateImageButton::labelColor() const
{
    return textField ? textField->palette().color(QPalette::WindowText) : QColor();
}

void FourStateImageButton::setLabelColor(const QColor& color)
{
    // Only a real change touches the label, or repainting it would repaint us again.
    if (!textField || textField->palette().color(QPalette::WindowText) == color)
        return;
    QPalette p = textField->palette();
    p.setColor(QPalette::WindowText, color);
    textField->setPalette(p);
}
