#include "TopView/TCImageWindow.h"

#include "TopView/QZTitlebarView.h"
#include "TopView/StandardWindowButton.h"
#include "TopView/TCWindowButton.h"

#include <QEvent>
#include <QWindowStateChangeEvent>
#include <cmath>

QRectF TCImageWindowDelegateProxy::windowWillPositionSheet(QWidget*, const QRectF& proposed) const
{
    QRectF rect = proposed;
    rect.moveTop(m_window->titleBarHeight());
    return rect;
}

TCImageWindow::TCImageWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    m_delegateProxy = std::make_unique<TCImageWindowDelegateProxy>(this);
    m_titleBarContainer = new QZTitlebarContainer(this);
    setTitleBarView(new QZTitlebarView);
    for (int kind = 0; kind < 3; ++kind)
        m_standardButtons[kind] = new StandardWindowButton(StandardWindowButton::Kind(kind), this);
    m_liveResizeEnd.setSingleShot(true);
    m_liveResizeEnd.setInterval(kLiveResizeSettleMs);
    connect(&m_liveResizeEnd, &QTimer::timeout, this, &TCImageWindow::viewDidEndLiveResize);
    layoutTitleBar();
}

TCImageWindow::~TCImageWindow() = default;

void TCImageWindow::setDelegate(TCImageWindowDelegate* delegate)
{
    m_delegateProxy->secondaryDelegate = delegate;
}

TCImageWindowDelegate* TCImageWindow::delegate() const
{
    return m_delegateProxy->secondaryDelegate;
}

QRectF TCImageWindow::sheetRect(QWidget* sheet, const QRectF& proposed) const
{
    return m_delegateProxy->windowWillPositionSheet(sheet, proposed);
}

void TCImageWindow::setTitleBarView(QWidget* view)
{
    if (!view || view == m_titleBarView)
        return;
    delete m_titleBarView;
    m_titleBarView = view;
    view->setParent(m_titleBarContainer);
    view->setGeometry(m_titleBarContainer->rect());
    view->show();
}

void TCImageWindow::setTitleBarHeight(double height)
{
    if (height == m_titleBarHeight)
        return;
    m_titleBarHeight = height;
    m_cachedTitleBarHeight = height;
    layoutTitleBar();
    redrawBar();
}

void TCImageWindow::setCenterTrafficLightButtons(bool centre)
{
    if (centre == m_centerTrafficLightButtons)
        return;
    m_centerTrafficLightButtons = centre;
    layoutTitleBar();
}

void TCImageWindow::setVerticalTrafficLightButtons(bool vertical)
{
    if (vertical == m_verticalTrafficLightButtons)
        return;
    m_verticalTrafficLightButtons = vertical;
    layoutTitleBar();
}

void TCImageWindow::setTrafficLightButtonsLeftMargin(double margin)
{
    if (margin == m_trafficLightButtonsLeftMargin)
        return;
    m_trafficLightButtonsLeftMargin = margin;
    layoutTitleBar();
    redrawBar();
}

void TCImageWindow::setTrafficLightSeparation(double separation)
{
    if (separation == m_trafficLightSeparation)
        return;
    m_trafficLightSeparation = separation;
    layoutTitleBar();
}

void TCImageWindow::setFullScreenButtonRightMargin(double margin)
{
    m_setFullScreenButtonRightMargin = true;
    if (margin == m_fullScreenButtonRightMargin)
        return;
    m_fullScreenButtonRightMargin = margin;
    layoutTitleBar();
    redrawBar();
}

void TCImageWindow::setCenterFullScreenButton(bool centre)
{
    if (centre == m_centerFullScreenButton)
        return;
    m_centerFullScreenButton = centre;
    layoutTitleBar();
}

void TCImageWindow::setShowsTitle(bool shows)
{
    if (shows == m_showsTitle)
        return;
    m_showsTitle = shows;
    redrawBar();
}

void TCImageWindow::setShowsBaselineSeparator(bool shows)
{
    if (shows == m_showsBaselineSeparator)
        return;
    m_showsBaselineSeparator = shows;
    redrawBar();
}

void TCImageWindow::replaceButton(QPointer<TCWindowButton>& slot, TCWindowButton* button,
                                  std::function<void()> action)
{
    if (button == slot)
        return;
    delete slot;
    slot = button;
    if (button) {
        button->setParent(this);
        connect(button, &QAbstractButton::clicked, this, std::move(action));
        button->show();
        button->raise();
    }
    layoutTitleBar();
}

void TCImageWindow::setCloseButton(TCWindowButton* button)
{
    replaceButton(m_closeButton, button, [this] { close(); });
}

void TCImageWindow::setMinimizeButton(TCWindowButton* button)
{
    replaceButton(m_minimizeButton, button, [this] { showMinimized(); });
}

void TCImageWindow::setZoomButton(TCWindowButton* button)
{
    replaceButton(m_zoomButton, button, [this] { isMaximized() ? showNormal() : showMaximized(); });
}

void TCImageWindow::setFullScreenButton(TCWindowButton* button)
{
    replaceButton(m_fullScreenButton, button, [this] { isFullScreen() ? showNormal() : showFullScreen(); });
}

StandardWindowButton* TCImageWindow::standardWindowButton(int kind) const
{
    return kind >= 0 && kind < 3 ? m_standardButtons[kind] : nullptr;
}

QAbstractButton* TCImageWindow::shownButton(int kind) const
{
    TCWindowButton* replacement = kind == 0 ? m_closeButton : kind == 1 ? m_minimizeButton : m_zoomButton;
    m_standardButtons[kind]->setVisible(!replacement);
    if (replacement)
        return replacement;
    return m_standardButtons[kind];
}

void TCImageWindow::setContentView(QWidget* view)
{
    if (view == m_contentView)
        return;
    m_contentView = view;
    if (view) {
        view->setParent(this);
        // A new content view takes the window's width once; re-lays keep it.
        view->setGeometry(0, int(m_titleBarHeight), width(), height() - int(m_titleBarHeight));
        view->show();
    }
    layoutTitleBar();
}

void TCImageWindow::layoutTitleBar()
{
    const double barHeight = m_titleBarHeight;
    m_titleBarContainer->setGeometry(0, 0, width(), int(barHeight));
    if (m_titleBarView)
        m_titleBarView->setGeometry(m_titleBarContainer->rect());

    QAbstractButton* buttons[3] = {shownButton(0), shownButton(1), shownButton(2)};
    if (!m_verticalTrafficLightButtons) {
        double x = m_trafficLightButtonsLeftMargin;
        for (QAbstractButton* b : buttons) {
            const double h = b->height();
            double y = m_centerTrafficLightButtons ? std::round(barHeight / 2 - h / 2) : trafficLightButtonsTopMargin;
            // Moving up is towards smaller y here.
            y -= topButtonMoveUp;
            b->move(int(x), int(y));
            x += b->width() + m_trafficLightSeparation;
        }
    } else {
        const double gap = m_trafficLightSeparation - 2;
        const double stack = buttons[0]->height() + buttons[1]->height() + buttons[2]->height() + 2 * gap;
        double y = m_centerTrafficLightButtons ? std::round(barHeight / 2 - stack / 2) : trafficLightButtonsTopMargin;
        for (QAbstractButton* b : buttons) {
            b->move(int(m_trafficLightButtonsLeftMargin), int(y));
            y += b->height() + gap;
        }
    }
    for (QAbstractButton* b : buttons)
        b->raise();

    if (m_fullScreenButton) {
        if (!m_setFullScreenButtonRightMargin) {
            m_fullScreenButtonRightMargin = width() - (m_fullScreenButton->x() + m_fullScreenButton->width());
            m_setFullScreenButtonRightMargin = true;
        }
        const double h = m_fullScreenButton->height();
        const double y = m_centerFullScreenButton ? std::round(barHeight / 2 - h / 2) : trafficLightButtonsTopMargin;
        m_fullScreenButton->move(int(width() - m_fullScreenButton->width() - m_fullScreenButtonRightMargin), int(y));
        m_fullScreenButton->raise();
    }

    if (m_contentView) {
        // Origin and width stay; only the height follows the window.
        const QRect frame(m_contentView->x(), int(barHeight), m_contentView->width(), height() - int(barHeight));
        if (frame != m_contentView->geometry())
            m_contentView->setGeometry(frame);
    }
}

void TCImageWindow::redrawBar()
{
    if (m_titleBarView)
        m_titleBarView->update();
}

void TCImageWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutTitleBar();
    // A resize by dragging comes as a stream of resizes; its end is when they stop.
    m_liveResizeEnd.start();
}

void TCImageWindow::viewDidEndLiveResize()
{
    for (TCWindowButton* button : {m_closeButton.data(), m_minimizeButton.data(), m_zoomButton.data(),
                                   m_fullScreenButton.data()})
        if (button)
            button->viewDidEndLiveResize();
}

void TCImageWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::ActivationChange:
    case QEvent::WindowTitleChange:
        layoutTitleBar();
        redrawBar();
        break;
    case QEvent::WindowStateChange:
        if (isFullScreen() && hideTitleBarInFullScreen && !m_barHiddenForFullScreen) {
            m_barHiddenForFullScreen = true;
            m_titleBarHeight = 0;
            if (m_titleBarView)
                m_titleBarView->hide();
            layoutTitleBar();
            redrawBar();
        } else if (!isFullScreen() && m_barHiddenForFullScreen) {
            m_barHiddenForFullScreen = false;
            m_titleBarHeight = m_cachedTitleBarHeight;
            if (m_titleBarView)
                m_titleBarView->show();
            layoutTitleBar();
            redrawBar();
        }
        break;
    default:
        break;
    }
}
