#include "ProgressView/RFOverlayScrollView.h"

#include "ProgressView/RFOverlayScroller.h"

#include <QAbstractScrollArea>
#include <QChildEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTreeView>

RFOverlayScrollView::RFOverlayScrollView(QWidget* parent)
    : QWidget(parent), m_scroller(new RFOverlayScroller(this))
{
    m_scroller->hide();
}

int RFOverlayScrollView::tableHeaderOffsetFromSuperview() const
{
    const QHeaderView* header = nullptr;
    if (auto* table = qobject_cast<QTableView*>(m_content.data()))
        header = table->horizontalHeader();
    else if (auto* tree = qobject_cast<QTreeView*>(m_content.data()))
        header = tree->header();
    if (!header || header->isHidden())
        return 0;
    return header->height();
}

void RFOverlayScrollView::setHeaderOffset(int offset)
{
    m_headerOffset = offset;
    tile();
}

void RFOverlayScrollView::setContent(QAbstractScrollArea* content)
{
    if (content && content->parentWidget() != this)
        content->setParent(this);
    adopt(content);
}

void RFOverlayScrollView::adopt(QAbstractScrollArea* content)
{
    if (!content || content == m_content)
        return;
    m_content = content;
    // The content takes the full width; our scroller mirrors its own.
    content->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QScrollBar* native = content->verticalScrollBar();
    connect(native, &QScrollBar::rangeChanged, m_scroller, [this](int min, int max) {
        m_scroller->setRange(min, max);
        m_scroller->setVisible(max > min);
        tile();
    });
    connect(native, &QScrollBar::valueChanged, m_scroller, &QScrollBar::setValue);
    connect(m_scroller, &QScrollBar::valueChanged, native, &QScrollBar::setValue);
    m_scroller->setRange(native->minimum(), native->maximum());
    m_scroller->setPageStep(native->pageStep());
    m_scroller->setSingleStep(native->singleStep());
    m_scroller->setValue(native->value());
    m_scroller->setVisible(native->maximum() > native->minimum());
    m_headerOffset = tableHeaderOffsetFromSuperview();
    tile();
}

void RFOverlayScrollView::tile()
{
    if (m_content) {
        m_content->setGeometry(rect());
        m_scroller->setPageStep(m_content->verticalScrollBar()->pageStep());
    }
    const int sw = m_scroller->sizeHint().width();
    m_scroller->setGeometry(width() - sw, m_headerOffset, sw, height() - m_headerOffset);
    // Keep the scroller above its siblings.
    m_scroller->raise();
}

void RFOverlayScrollView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    tile();
}

void RFOverlayScrollView::childEvent(QChildEvent* event)
{
    QWidget::childEvent(event);
    if (event->type() == QEvent::ChildPolished && !m_content)
        adopt(qobject_cast<QAbstractScrollArea*>(event->child()));
}

void RFOverlayScrollView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_content)
        m_headerOffset = tableHeaderOffsetFromSuperview();
    tile();
}
