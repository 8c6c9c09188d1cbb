#include "Main/BaseWindow.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
#include <QTimer>
#include <QWindow>

BaseWindow::BaseWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void BaseWindow::closeEvent(QCloseEvent* event)
{
    emit windowWillClose();
    event->accept();
}

void BaseWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange)
        QTimer::singleShot(0, this, &BaseWindow::checkMiniaturized);
    QWidget::changeEvent(event);
}

bool BaseWindow::event(QEvent* event)
{
    if (!m_watchingWindow && windowHandle()) {
        // Exposure is told to the native window, not to the widget.
        windowHandle()->installEventFilter(this);
        m_watchingWindow = true;
    }
    if (event->type() == QEvent::Show)
        QTimer::singleShot(0, this, &BaseWindow::checkMiniaturized);
    return QWidget::event(event);
}

bool BaseWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose)
        QTimer::singleShot(0, this, &BaseWindow::checkMiniaturized);
    return QWidget::eventFilter(watched, event);
}

void BaseWindow::checkMiniaturized()
{
    const bool onScreen = isVisible() && windowHandle() && windowHandle()->isExposed();
    if (!m_miniaturized && !onScreen && (windowState() & Qt::WindowMinimized)) {
        m_miniaturized = true;
        emit windowDidMiniaturize();
    } else if (m_miniaturized && onScreen) {
        m_miniaturized = false;
        emit windowDidDeminiaturize();
    }
}

void BaseWindow::resizeEvent(QResizeEvent* event)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 8, 8);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
    QWidget::resizeEvent(event);
}

void BaseWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // The window manager moves it where it can; otherwise follow the pointer.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void BaseWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
    else
        m_dragging = false;
}
