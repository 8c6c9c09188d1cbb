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
    // Nothing is asked of the window manager yet: a move handed over on the
    // press itself can outlive a quick release and leave the window stuck to
    // the pointer.
    m_pressed = true;
    m_dragging = false;
    m_pressPoint = event->globalPosition().toPoint();
    m_dragOffset = m_pressPoint - frameGeometry().topLeft();
    event->accept();
}

void BaseWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed || !(event->buttons() & Qt::LeftButton)) {
        m_pressed = m_dragging = false;
        return QWidget::mouseMoveEvent(event);
    }
    const QPoint pointer = event->globalPosition().toPoint();
    if (!m_dragging) {
        if ((pointer - m_pressPoint).manhattanLength() < kMoveThreshold)
            return;
        const bool managed = m_systemMove ? m_systemMove() : windowHandle() && windowHandle()->startSystemMove();
        if (managed) {
            // The window manager has the pointer until the button comes up.
            m_pressed = false;
            return;
        }
        m_dragging = true;
    }
    move(pointer - m_dragOffset);
}

void BaseWindow::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressed = m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}
