#include "Main/BaseWindow.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainterPath>
#include <QRegion>
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
    if (event->type() == QEvent::WindowStateChange) {
        auto* e = static_cast<QWindowStateChangeEvent*>(event);
        if ((e->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized))
            emit windowDidDeminiaturize();
    }
    QWidget::changeEvent(event);
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
