#include "PopWindow/PopBaseWindow.h"

#include <QCloseEvent>
#include <QMouseEvent>

PopBaseWindow::PopBaseWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void PopBaseWindow::mousePressEvent(QMouseEvent* event)
{
    // Presses that reach the window itself landed on its background.
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void PopBaseWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void PopBaseWindow::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void PopBaseWindow::closeEvent(QCloseEvent* event)
{
    windowWillClose();
    QWidget::closeEvent(event);
}

void PopBaseWindow::windowWillClose() {}
