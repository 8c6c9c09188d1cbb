#include "PopWindow/MAAttachedWindow.h"

#include "Comm/GetColor.h"

#include <QEvent>
#include <QResizeEvent>

MAAttachedWindow::MAAttachedWindow(QWidget* view, QPointF point, QWidget* parentWindow, int side,
                                   double distance, double bgAlpha)
    : QWidget(parentWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      AttachedWindowEngine(this, view, parentWindow, point, side, distance)
{
    Q_ASSERT(view);
    (void)bgAlpha;
    setAttribute(Qt::WA_TranslucentBackground);
    // Showing it must not take focus from the window that holds the button.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFill(getColor(50, 50, 57, 1.0f));
    m_borderColor = getColor(33, 33, 43, 1.0f);
    m_style.borderWidth = 1;
    m_style.viewMargin = 2;
    m_style.cornerRadius = 4;
    m_style.arrowBaseWidth = 0;
    m_style.arrowHeight = 0;
    m_style.hasArrow = true;
    m_style.drawsRoundCornerBesideArrow = true;
    attachView();
    if (parentWindow)
        parentWindow->installEventFilter(this);
}

MAAttachedWindow::~MAAttachedWindow()
{
    if (QWidget* parent = parentWindow())
        parent->removeEventFilter(this);
}

QRect MAAttachedWindow::constrainedFrame(const QRect& frame) const
{
    const QWidget* parent = parentWindow();
    if (!parent)
        return frame;
    const QRect inside(parent->mapToGlobal(QPoint(0, 0)), parent->size());
    QRect moved = frame;
    if (moved.right() > inside.right())
        moved.moveRight(inside.right());
    if (moved.left() < inside.left())
        moved.moveLeft(inside.left());
    if (moved.bottom() > inside.bottom())
        moved.moveBottom(inside.bottom());
    if (moved.top() < inside.top())
        moved.moveTop(inside.top());
    return moved;
}

void MAAttachedWindow::paintEvent(QPaintEvent*)
{
    paintWindow();
}

void MAAttachedWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    windowResized(event->size());
}

void MAAttachedWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && m_delegate)
        m_delegate->closeMattachedWindow();
}

bool MAAttachedWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The anchor is in the parent's coordinates: follow the parent around.
    if (watched == parentWindow() && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        setPoint(point(), side());
    return QWidget::eventFilter(watched, event);
}
