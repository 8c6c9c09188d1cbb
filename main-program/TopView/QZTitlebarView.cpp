#include "TopView/QZTitlebarView.h"

#include "TopView/TCImageWindow.h"
#include "platform/UserDefaults.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

TCImageWindow* imageWindowOf(QWidget* w)
{
    return qobject_cast<TCImageWindow*>(w ? w->window() : nullptr);
}

}  // namespace

QZTitlebarView::QZTitlebarView(QWidget* parent) : QWidget(parent) {}

QRectF QZTitlebarView::titleFrame(const TCImageWindow* window) const
{
    QFont font = this->font();
    const QSizeF size = QFontMetricsF(font).size(Qt::TextSingleLine, window->windowTitle());
    const qreal x = window->closeButton() ? 10 : 80;
    // The title's lower edge sits 7 below the bar's middle line (its glyphs a
    // little lower than centred, as the bar was designed), whatever its height.
    return QRectF(QPointF(x, height() / 2.0 + 7 - size.height()), size);
}

void QZTitlebarView::paintEvent(QPaintEvent*)
{
    TCImageWindow* w = imageWindowOf(this);
    if (!w)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool drawsAsMain = w->isActiveWindow();
    const QRectF bounds(rect());
    QPainterPath outline;
    outline.setFillRule(Qt::WindingFill);
    outline.addRoundedRect(bounds, 4, 4);
    outline.addRect(bounds.adjusted(0, bounds.height() / 2, 0, 0));
    outline = outline.simplified();
    if (w->titleBarDrawingBlock) {
        w->titleBarDrawingBlock(painter, drawsAsMain, bounds, outline);
    } else {
        if (w->isFullScreen())
            painter.fillRect(bounds, Qt::white);
        painter.save();
        painter.setClipPath(outline);
        painter.fillRect(bounds, Qt::white);
        painter.restore();
    }
    const bool showTitle = w->showsTitle() && (!w->isFullScreen() || w->showsTitleInFullscreen);
    if (!showTitle)
        return;
    painter.setPen(titleColor(w, drawsAsMain));
    painter.drawText(titleFrame(w), Qt::AlignLeft | Qt::AlignVCenter, w->windowTitle());
}

QColor QZTitlebarView::titleColor(const TCImageWindow* window, bool drawsAsMain)
{
    const QColor own = drawsAsMain ? window->titleTextColor : window->inactiveTitleTextColor;
    return own.isValid() ? own : QColor(Qt::white);
}

void QZTitlebarView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    TCImageWindow* w = imageWindowOf(this);
    if (!w)
        return;
    if (platform::userDefaults()->value(QStringLiteral("AppleMiniaturizeOnDoubleClick")).toBool())
        w->showMinimized();
}

QZTitlebarContainer::QZTitlebarContainer(QWidget* parent) : QWidget(parent) {}

void QZTitlebarContainer::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || window()->isFullScreen()) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_lastPointer = event->globalPosition().toPoint();
    event->accept();
}

void QZTitlebarContainer::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    // The window follows the pointer's change since the previous event.
    const QPoint pointer = event->globalPosition().toPoint();
    window()->move(window()->pos() + (pointer - m_lastPointer));
    m_lastPointer = pointer;
    event->accept();
}

void QZTitlebarContainer::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}
