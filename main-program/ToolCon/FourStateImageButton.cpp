#include "ToolCon/FourStateImageButton.h"

#include "platform/ImageStore.h"

#include <QApplication>
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
    setFocusPolicy(Qt::TabFocus);
}

void FourStateImageButton::setUp()
{
    // A click on a button that ignores it must not land on what lies behind.
    setAttribute(Qt::WA_NoMousePropagation);
    setFocusPolicy(isDisabled ? Qt::TabFocus : Qt::NoFocus);
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
    // A button that ignores clicks is no stop on the Tab round.
    setFocusPolicy(enabled ? Qt::TabFocus : Qt::NoFocus);
    if (!enabled && hasFocus())
        clearFocus();
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
    // Space presses the focused button, showing the pressed picture while
    // held; every other key goes on to the dialog or window around it.
    if (event->key() == Qt::Key_Space && isDisabled && isEnabled()) {
        if (!event->isAutoRepeat()) {
            isTracking = true;
            repaint();
        }
        QAbstractButton::keyPressEvent(event);
        return;
    }
    event->ignore();
}

void FourStateImageButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && isTracking && !event->isAutoRepeat()) {
        isTracking = false;
        QAbstractButton::keyReleaseEvent(event);
        repaint();
        return;
    }
    event->ignore();
}

void FourStateImageButton::focusInEvent(QFocusEvent* event)
{
    const Qt::FocusReason reason = event->reason();
    // A window coming back to the front returns the focus it had, ring and all.
    if (reason != Qt::ActiveWindowFocusReason)
        m_keyboardFocus = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason;
    QAbstractButton::focusInEvent(event);
    update();
}

void FourStateImageButton::takeKeyboardFocus()
{
    m_keyboardFocus = true;
    setFocus(Qt::TabFocusReason);
    update();
}

void FourStateImageButton::focusOutEvent(QFocusEvent* event)
{
    if (event->reason() != Qt::ActiveWindowFocusReason)
        m_keyboardFocus = false;
    if (isTracking && !(QApplication::mouseButtons() & Qt::LeftButton)) {
        // Focus left while Space was held: no click.
        isTracking = false;
        setDown(false);
    }
    QAbstractButton::focusOutEvent(event);
    update();
}

bool FourStateImageButton::event(QEvent* event)
{
    const bool handled = QAbstractButton::event(event);
    if (event->type() == QEvent::ToolTipChange || event->type() == QEvent::Polish)
        refreshAccessibleName();
    // Drawn over whatever the subclass painted, within the same paint.
    if (event->type() == QEvent::Paint && showsFocusRing())
        drawFocusRing();
    return handled;
}

void FourStateImageButton::drawFocusRing()
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(93, 160, 255), 2);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
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
    return textField ? m_labelColor : QColor();
}

void FourStateImageButton::setLabelColor(const QColor& color)
{
    // Only a real change touches the label, or repainting it would repaint us again.
    if (!textField || (m_labelColor == color && !textField->styleSheet().isEmpty()))
        return;
    m_labelColor = color;
    // The label's own style sheet: a dialog's sheet for its labels ("QLabel {
    // color: ... }") would otherwise reach this one too and override the palette.
    textField->setStyleSheet(QStringLiteral("QLabel { color: rgba(%1, %2, %3, %4); background: transparent; }")
                                 .arg(color.red())
                                 .arg(color.green())
                                 .arg(color.blue())
                                 .arg(color.alphaF(), 0, 'f', 3));
}

void FourStateImageButton::refreshAccessibleName()
{
    if (!accessibleName().isEmpty() && accessibleName() != m_derivedName)
        return;
    QString name = textField ? textField->text() : QString();
    if (name.isEmpty())
        name = text();
    if (name.isEmpty())
        name = toolTip();
    m_derivedName = name;
    setAccessibleName(name);
}
