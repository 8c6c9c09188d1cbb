#include "Main/LeftCell/CustemTypeButtonView.h"

#include "Comm/FontCache.h"
#include "Comm/GetColor.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

CustemTypeButtonView::CustemTypeButtonView(QWidget* parent) : QWidget(parent)
{
    setFixedSize(214, 28);
    setFocusPolicy(Qt::TabFocus);
}

void CustemTypeButtonView::loadView()
{
    if (!m_iconImageView) {
        m_iconImageView = new QLabel(this);
        m_iconImageView->setGeometry(16, 6, 16, 16);
        m_iconImageView->setScaledContents(true);
        m_iconImageView->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_nameLabel = new QLabel(this);
        m_nameLabel->setGeometry(48, 6, 150, 17);
        m_nameLabel->setTextFormat(Qt::PlainText);
        m_nameLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    m_nameLabel->setText(nameStr);
    // Assistive technology names the entry by its title.
    setAccessibleName(nameStr);
    refreshLook();
}

void CustemTypeButtonView::buttonClick(bool selected)
{
    m_isClick = selected;
    refreshLook();
}

void CustemTypeButtonView::setButtonEnden(bool enabled)
{
    m_isEnd = enabled;
    refreshLook();
}

void CustemTypeButtonView::refreshLook()
{
    // A locked entry cannot be chosen, so Tab passes it by; the chosen one
    // stays the navigation's stop.
    setFocusPolicy(m_isEnd || m_isClick ? Qt::TabFocus : Qt::NoFocus);
    if (m_nameLabel) {
        m_nameLabel->setFont(m_isClick ? FontCache::regularFont(13) : FontCache::lightFont(13));
        const double alpha = m_isClick ? 1.0 : (m_isEnd ? 0.6 : 0.18);
        const QColor c = getColor(255, 255, 255, static_cast<float>(alpha));
        m_nameLabel->setStyleSheet(QStringLiteral("color: rgba(%1,%2,%3,%4); background: transparent;")
                                       .arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha()));
        m_iconImageView->setPixmap(m_isClick ? sleIconImage : iconImage);
    }
    update();
}

void CustemTypeButtonView::paintEvent(QPaintEvent*)
{
    if (!m_isClick)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, 214, 28), 8, 8);
    p.fillPath(path, getColor(0, 0, 0, 0.2f));
}

void CustemTypeButtonView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    // The keyboard follows the pointer to the navigation, leaving nothing
    // focused on the screen that slides away.
    setFocus(Qt::MouseFocusReason);
    if (m_isEnd && delegate)
        delegate->mouseClickAction(butTag);
}

void CustemTypeButtonView::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() & ~Qt::KeypadModifier)
        return QWidget::keyPressEvent(event);
    CustemTypeButtonView* target = nullptr;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const int wanted = butTag + (event->key() == Qt::Key_Down ? 1 : -1);
        if (parentWidget())
            for (auto* sibling : parentWidget()->findChildren<CustemTypeButtonView*>(Qt::FindDirectChildrenOnly))
                if (sibling->butTag == wanted)
                    target = sibling;
        break;
    }
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        target = this;
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    event->accept();
    // A locked navigation neither moves nor switches.
    if (!target || !m_isEnd || (event->isAutoRepeat() && target == this))
        return;
    if (target != this)
        target->setFocus(Qt::TabFocusReason);
    if (target->delegate)
        target->delegate->mouseClickAction(target->butTag);
}
