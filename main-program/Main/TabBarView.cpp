#include "Main/TabBarView.h"

#include "Comm/GetColor.h"
#include "platform/NotificationCenter.h"

#include <QMenuBar>
#include <QPainter>

TitleBarButton::TitleBarButton(QString idStr, QColor colour, QWidget* parent)
    : QAbstractButton(parent), m_idStr(std::move(idStr)), m_colour(colour)
{
    setFixedSize(12, 12);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(m_idStr + QStringLiteral("Button"));
    platform::NotificationCenter::defaultCenter().observe(this, QStringLiteral("HMTrafficButtonMouseEnter"),
                                                          [this](const QVariantMap&) { setHovered(true); });
    platform::NotificationCenter::defaultCenter().observe(this, QStringLiteral("HMTrafficButtonMouseExit"),
                                                          [this](const QVariantMap&) { setHovered(false); });
}

void TitleBarButton::setHovered(bool hovered)
{
    m_hovered = hovered;
    update();
}

void TitleBarButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fill = isEnabled() ? (isDown() ? m_colour.darker(130) : m_colour) : getColor(80, 80, 96, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(QRectF(0.5, 0.5, 11, 11));
    if (m_hovered && isEnabled()) {
        p.setPen(QPen(getColor(60, 20, 20, 0.8f), 1.2));
        if (m_idStr == QLatin1String("close")) {
            p.drawLine(QPointF(3.8, 3.8), QPointF(8.2, 8.2));
            p.drawLine(QPointF(8.2, 3.8), QPointF(3.8, 8.2));
        } else if (m_idStr == QLatin1String("minimize")) {
            p.drawLine(QPointF(3.2, 6), QPointF(8.8, 6));
        }
    }
}

TabBarView::TabBarView(QWidget* parent) : QWidget(parent)
{
    m_close = new TitleBarButton(QStringLiteral("close"), getColor(252, 96, 92, 1), this);
    m_min = new TitleBarButton(QStringLiteral("minimize"), getColor(253, 188, 64, 1), this);
    m_zoom = new TitleBarButton(QStringLiteral("zoom"), getColor(52, 200, 74, 1), this);
    // The macOS title bar keeps its buttons 8 points from the edges.
    m_close->move(10, 8);
    m_min->move(28, 8);
    m_zoom->move(46, 8);
    m_min->setEnabled(false);
    m_zoom->setEnabled(false);
    connect(m_close, &QAbstractButton::clicked, this, &TabBarView::clickCloseButton);
    connect(m_min, &QAbstractButton::clicked, this, &TabBarView::clickMinimizeButton);
}

void TabBarView::setMinAction(bool enabled)
{
    m_min->setEnabled(enabled);
    m_min->update();
}

void TabBarView::setMenuBar(QMenuBar* menuBar)
{
    menuBar->setParent(this);
    menuBar->setNativeMenuBar(false);
    menuBar->setGeometry(70, 2, width() - 80, height() - 4);
    menuBar->setStyleSheet(QStringLiteral(
        "QMenuBar { background: transparent; color: rgba(255,255,255,170); font-size: 12px; }"
        "QMenuBar::item { padding: 3px 8px; background: transparent; }"
        "QMenuBar::item:selected { background: rgba(0,0,0,60); color: white; border-radius: 4px; }"
        "QMenu { background: rgb(50,50,62); color: rgb(237,239,240); border: 1px solid rgb(70,70,86); }"
        "QMenu::item { padding: 4px 22px; }"
        "QMenu::item:selected { background: rgb(40,130,220); }"
        "QMenu::item:disabled { color: rgba(237,239,240,90); }"
        "QMenu::separator { height: 1px; background: rgb(70,70,86); margin: 3px 6px; }"));
    menuBar->show();
}

void TabBarView::clickCloseButton()
{
    if (delegate)
        delegate->closeWindowAction();
    window()->close();
}

void TabBarView::clickMinimizeButton()
{
    // Hidden while minimised; shown again when the window comes back.
    if (QWidget* content = window()->findChild<QWidget*>(QStringLiteral("contentView")))
        content->hide();
    window()->showMinimized();
}

void TabBarView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), getColor(50, 50, 62, 1));
    p.fillRect(QRect(0, height() - 1, width(), 1), getColor(0, 0, 0, 0.25f));
}

void TabBarView::enterEvent(QEnterEvent*)
{
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("HMTrafficButtonMouseEnter"));
}

void TabBarView::leaveEvent(QEvent*)
{
    platform::NotificationCenter::defaultCenter().post(QStringLiteral("HMTrafficButtonMouseExit"));
}
