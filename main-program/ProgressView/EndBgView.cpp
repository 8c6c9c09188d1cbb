#include "ProgressView/EndBgView.h"

#include "Comm/GetColor.h"
#include "ToolCon/FourStateImageButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>

EndBgView::EndBgView(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::ClickFocus);
}

void EndBgView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), getColor(50, 50, 62, 1));
}

namespace {

bool reacts(const QAbstractButton* button)
{
    // The picture buttons keep their enabled sense in a flag of their own.
    const auto* picture = qobject_cast<const FourStateImageButton*>(button);
    return button->isVisible() && button->isEnabled() && (!picture || picture->buttonEnabled());
}

}  // namespace

QAbstractButton* EndBgView::returnButton() const
{
    auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
    if (focused && isAncestorOf(focused) && reacts(focused))
        return focused;
    QAbstractButton* last = nullptr;
    for (QAbstractButton* button : findChildren<QAbstractButton*>())
        if (reacts(button))
            last = button;
    return last;
}

bool EndBgView::onView() const
{
    // Parked pages are shown off to the side; only the one slid into place counts.
    return isVisible() && pos().x() == 0 && !visibleRegion().isEmpty();
}

void EndBgView::takeFocusWhenOnView()
{
    // Keys typed on the page it replaced would go nowhere. The button Return
    // presses takes the keyboard, as a Tab would give it, so it wears its ring.
    if (!onView() || isAncestorOf(QApplication::focusWidget()))
        return;
    QAbstractButton* button = returnButton();
    if (auto* picture = qobject_cast<FourStateImageButton*>(button); picture && (picture->focusPolicy() & Qt::TabFocus))
        picture->takeKeyboardFocus();
    else if (button && (button->focusPolicy() & Qt::TabFocus))
        button->setFocus(Qt::TabFocusReason);
    else
        setFocus(Qt::OtherFocusReason);
}

void EndBgView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    takeFocusWhenOnView();
}

void EndBgView::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    takeFocusWhenOnView();
}

void EndBgView::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat() && onView()) {
        if (QAbstractButton* button = returnButton()) {
            event->accept();
            button->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}
