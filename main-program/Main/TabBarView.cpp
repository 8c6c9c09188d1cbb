#include "Main/TabBarView.h"

#include "TopView/HMTrafficButtonsContainer.h"
#include "platform/NotificationCenter.h"

TabBarView::TabBarView(QWidget* parent) : QWidget(parent)
{
    m_closeButton = makeButton(0, QStringLiteral("close"));
    m_minButton = makeButton(18, QStringLiteral("minimize"));
    m_zoomButton = makeButton(36, QStringLiteral("zoom"));
    connect(m_closeButton, &QAbstractButton::clicked, this, &TabBarView::clickCloseButton);
    connect(m_minButton, &QAbstractButton::clicked, this, &TabBarView::clickMinimizeButton);
    // Minimise waits for its owner; zoom has no use here.
    m_minButton->setEnabled(false);
    m_minButton->setInactiveState();
    m_zoomButton->setEnabled(false);
}

HMTrafficButtonsContainer* TabBarView::makeButton(int x, const QString& idStr)
{
    auto* button = new HMTrafficButtonsContainer(QRect(x, 2, 12, 12), this);
    button->setObjectName(idStr + QStringLiteral("Button"));
    button->setFocusPolicy(Qt::NoFocus);
    button->setIdStr(idStr);
    // The picture alone says what it does: assistive technology gets a word.
    button->setAccessibleName(idStr == QLatin1String("close") ? QStringLiteral("Close") : idStr == QLatin1String("minimize") ? QStringLiteral("Minimize") : QStringLiteral("Zoom"));
    button->setup();
    return button;
}

void TabBarView::setMinAction(bool enabled)
{
    m_minButton->setEnabled(enabled);
    m_minButton->setActiveState();
}

void TabBarView::clickCloseButton()
{
    if (delegate)
        delegate->closeWindowAction();
    window()->close();
}

void TabBarView::clickMinimizeButton()
{
    // The window hides its content itself once it is really minimised.
    window()->showMinimized();
}

void TabBarView::enterEvent(QEnterEvent*)
{
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("HMTrafficButtonMouseEnter"),
                                                       {{QStringLiteral("object"), QVariant::fromValue<QObject*>(this)}});
}

void TabBarView::leaveEvent(QEvent*)
{
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("HMTrafficButtonMouseExit"),
                                                       {{QStringLiteral("object"), QVariant::fromValue<QObject*>(this)}});
}
