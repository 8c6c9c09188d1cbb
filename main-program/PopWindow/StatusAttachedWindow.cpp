#include "PopWindow/StatusAttachedWindow.h"

#include "Comm/GetColor.h"
#include "PopWindow/FocusReturn.h"
#include "PopWindow/FocusTrap.h"
#include "PopWindow/PanelController.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QGuiApplication>
#include <QWindow>
#include <QResizeEvent>
#include <QTimer>

StatusAttachedWindow::StatusAttachedWindow(QWidget* view, QPointF point, QWidget* parentWindow, int side,
                                           double distance)
    : PopBaseWindow(nullptr), AttachedWindowEngine(this, view, parentWindow, point, side, distance)
{
    Q_ASSERT(view);
    setFill(getColor(50, 50, 62, 0.6f));
    m_borderColor = getColor(0, 0, 0, 0.34f);
    m_style.borderWidth = 1;
    m_style.viewMargin = 2;
    m_style.cornerRadius = 4;
    m_style.arrowBaseWidth = 15;
    m_style.arrowHeight = 10;
    m_style.hasArrow = false;
    m_style.drawsRoundCornerBesideArrow = true;
    setWindowOpacity(0.99);
    setMouseTracking(true);
    attachView();
    if (m_delegate)
        m_delegate->mouseInWindow(false);
}

StatusAttachedWindow::~StatusAttachedWindow()
{
    if (m_loop)
        m_loop->quit();
}

void StatusAttachedWindow::runModal()
{
    if (m_loop)
        return;
    QEventLoop loop;
    m_loop = &loop;
    m_closeRequested = false;
    // What had the keyboard gets it back when the panel closes.
    const FocusReturn::Keeper keeper(m_owner ? m_owner->window() : nullptr);
    QWidget* owner = m_owner ? m_owner->window() : (keeper.opener() ? keeper.opener()->window() : nullptr);
    if (owner == this)
        owner = nullptr;
    setWindowModality(Qt::ApplicationModal);
    // A window manager keeps a dialog above its window and names it by its
    // title: the panel says whose it is and what it is.
    if (windowTitle().isEmpty()) {
        const QString own = hostedView() ? hostedView()->windowTitle() : QString();
        setWindowTitle(own.isEmpty() || own == QLatin1String("Form") ? QGuiApplication::applicationDisplayName() : own);
    }
    // Made anew as a dialog, the window forgets which of its widgets had the
    // keyboard; the panel's own choice is given back once it shows.
    const QPointer<QWidget> chosen = focusWidget();
    if (owner) {
        // A dialog, not a window of its own: only a dialog's window tells the
        // window manager whose it is.
        setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
        winId();
        if (QWindow* handle = windowHandle(); handle && owner->windowHandle())
            handle->setTransientParent(owner->windowHandle());
    }
    show();
    raise();
    activateWindow();
    // A modal panel holds the keyboard: without a window manager the request
    // may never be answered (or go to the owner of a transient dialog), so
    // once the platform has had its say the application takes the panel as
    // active itself.
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && !isActiveWindow() && QApplication::activeModalWidget() == this)
            QApplication::setActiveWindow(this);
    });
    FocusTrap::install(hostedView());
    if (chosen && chosen != this && isAncestorOf(chosen))
        chosen->setFocus(Qt::OtherFocusReason);
    if (auto* controller = qobject_cast<PanelController*>(hostedView()))
        controller->takeInitialFocus();
    QPointer<StatusAttachedWindow> self(this);
    if (!m_closeRequested)
        loop.exec(QEventLoop::DialogExec);
    if (self)
        m_loop = nullptr;
    if (self && isVisible())
        hide();
    keeper.giveBack();
}

void StatusAttachedWindow::close()
{
    windowWillClose();
    QWidget::close();
}

void StatusAttachedWindow::windowWillClose()
{
    // Only the first request ends the run; later ones find no loop.
    m_closeRequested = true;
    if (m_loop) {
        m_loop->quit();
        m_loop = nullptr;
    }
}

void StatusAttachedWindow::setWindowBackgroundBlurRadius(int radius)
{
    (void)radius;
}

void StatusAttachedWindow::paintEvent(QPaintEvent*)
{
    paintWindow();
}

void StatusAttachedWindow::resizeEvent(QResizeEvent* event)
{
    PopBaseWindow::resizeEvent(event);
    windowResized(event->size());
}

void StatusAttachedWindow::enterEvent(QEnterEvent* event)
{
    PopBaseWindow::enterEvent(event);
    if (m_delegate)
        m_delegate->mouseInWindow(true);
}

void StatusAttachedWindow::leaveEvent(QEvent* event)
{
    PopBaseWindow::leaveEvent(event);
    if (m_delegate)
        m_delegate->mouseInWindow(false);
}

void StatusAttachedWindow::changeEvent(QEvent* event)
{
    PopBaseWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && m_delegate)
        m_delegate->isHiddenWindow();
}
