#include "ProgressView/RFOverlayScroller.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionSlider>
#include <QTimer>

#include <typeinfo>

RFOverlayScroller::RFOverlayScroller(QWidget* parent)
    : QScrollBar(Qt::Vertical, parent), m_fadeTimer(new QTimer(this))
{
    m_fadeTimer->setSingleShot(true);
    m_fadeTimer->setInterval(1500);
    connect(m_fadeTimer, &QTimer::timeout, this, &RFOverlayScroller::fadeOut);
    setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

namespace {

// Keeps an overlay scroller over the right edge of its list's viewport.
class OverlayTiler : public QObject
{
public:
    OverlayTiler(QAbstractScrollArea* list, RFOverlayScroller* scroller)
        : QObject(scroller), m_list(list), m_scroller(scroller)
    {
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
    }

    void tile()
    {
        // The viewport already leaves out the frame and a table's header.
        const QRect area = m_list->viewport()->geometry();
        const int sw = m_scroller->sizeHint().width();
        m_scroller->setGeometry(area.right() + 1 - sw, area.top(), sw, area.height());
        m_scroller->raise();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Move:
        case QEvent::Show:
        case QEvent::LayoutRequest:
            tile();
            break;
        default:
            break;
        }
        return false;
    }

private:
    QAbstractScrollArea* m_list;
    RFOverlayScroller* m_scroller;
};

const char* const kOverlayName = "overlayScroller";

}  // namespace

RFOverlayScroller* RFOverlayScroller::of(const QAbstractScrollArea* list)
{
    return list ? list->findChild<RFOverlayScroller*>(QString::fromLatin1(kOverlayName), Qt::FindDirectChildrenOnly)
                : nullptr;
}

RFOverlayScroller* RFOverlayScroller::overlay(QAbstractScrollArea* list)
{
    if (!list)
        return nullptr;
    if (RFOverlayScroller* existing = of(list))
        return existing;
    auto* scroller = new RFOverlayScroller(list);
    scroller->setObjectName(QString::fromLatin1(kOverlayName));
    // The native bar keeps the range and position; it is only not shown.
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QScrollBar* native = list->verticalScrollBar();
    auto follow = [scroller, native] {
        scroller->setRange(native->minimum(), native->maximum());
        scroller->setPageStep(native->pageStep());
        scroller->setSingleStep(native->singleStep());
        scroller->setVisible(native->maximum() > native->minimum());
    };
    connect(native, &QScrollBar::rangeChanged, scroller, follow);
    connect(native, &QScrollBar::valueChanged, scroller, &QScrollBar::setValue);
    connect(scroller, &QScrollBar::valueChanged, native, &QScrollBar::setValue);
    follow();
    scroller->setValue(native->value());
    auto* tiler = new OverlayTiler(list, scroller);
    tiler->tile();
    return scroller;
}

bool RFOverlayScroller::isCompatibleWithOverlayScrollers() const
{
    return typeid(*this) == typeid(RFOverlayScroller);
}

QSize RFOverlayScroller::sizeHint() const
{
    return QSize(kScrollerWidth, QScrollBar::sizeHint().height());
}

void RFOverlayScroller::fadeOut()
{
    m_alpha = 1.0;
    update();
}

void RFOverlayScroller::sliderChange(SliderChange change)
{
    QScrollBar::sliderChange(change);
    if (change == SliderValueChange) {
        m_alpha = 1.0;
        m_fadeTimer->start();
    }
}

void RFOverlayScroller::enterEvent(QEnterEvent* event)
{
    QScrollBar::enterEvent(event);
    m_alpha = 1.0;
    m_fadeTimer->stop();
    update();
}

void RFOverlayScroller::leaveEvent(QEvent* event)
{
    QScrollBar::leaveEvent(event);
    fadeOut();
}

void RFOverlayScroller::mouseMoveEvent(QMouseEvent* event)
{
    QScrollBar::mouseMoveEvent(event);
    m_alpha = 1.0;
}

void RFOverlayScroller::paintEvent(QPaintEvent*)
{
    // No track: only the knob, over whatever content lies below.
    if (maximum() <= minimum())
        return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect knob = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    if (knob.isEmpty())
        return;
    const QRectF inset = QRectF(knob).adjusted(3, 0, -3, 0);
    QPainterPath path;
    path.addRoundedRect(QRectF(inset.x(), inset.y(), 8, knob.height()), 5, 5);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_alpha);
    painter.fillPath(path, QColor(255, 255, 255, 51));
    painter.strokePath(path, QPen(QColor(0, 0, 0, 26), 1));
}
