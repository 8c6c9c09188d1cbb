#include "TopView/CustomWindowButtonView.h"

#include <QGuiApplication>
#include <QWindow>

CustomWindowButtonView::CustomWindowButtonView(QWidget* parent) : QWidget(parent)
{
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            applicationWillBecomeActive();
        else
            applicationDidResignActive();
    });
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] { windowActiveChanged(); });
}

bool CustomWindowButtonView::mouseInGroup(const StandardWindowButton*) const
{
    return m_mouseInside;
}

void CustomWindowButtonView::setNeedsDisplayForStandardWindowButtons()
{
    for (QAbstractButton* button : {m_closeButton.data(), m_minitButton.data(), m_zoomButton.data()})
        if (button)
            button->update();
}

void CustomWindowButtonView::applicationWillBecomeActive()
{
    // Glyphs drawn before the application went inactive are cleared.
    m_mouseInside = true;
    setNeedsDisplayForStandardWindowButtons();
    m_mouseInside = false;
    setNeedsDisplayForStandardWindowButtons();
}

void CustomWindowButtonView::applicationDidResignActive()
{
    m_mouseInside = false;
    setNeedsDisplayForStandardWindowButtons();
}

void CustomWindowButtonView::windowActiveChanged()
{
    m_mouseInside = false;
    setNeedsDisplayForStandardWindowButtons();
}

void CustomWindowButtonView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    m_mouseInside = true;
    setNeedsDisplayForStandardWindowButtons();
}

void CustomWindowButtonView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    m_mouseInside = false;
    setNeedsDisplayForStandardWindowButtons();
}
