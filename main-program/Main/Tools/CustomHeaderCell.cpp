#include "Main/Tools/CustomHeaderCell.h"

#include "Comm/GetColor.h"
#include "Comm/FontCache.h"

#include <QPainter>
#include <QPainterPath>

CustomHeaderCell::CustomHeaderCell(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignTop);
}

CustomHeaderCell::SortState CustomHeaderCell::stateOf(int section) const
{
    return section >= 0 && section < m_sort.size() ? m_sort[section] : SortState{};
}

void CustomHeaderCell::setSortAscending(int section, bool ascending, qint64 priority)
{
    if (section < 0)
        return;
    if (section >= m_sort.size())
        m_sort.resize(section + 1);
    m_sort[section] = {ascending, priority};
    viewport()->update();
}

bool CustomHeaderCell::isAscending(int section) const
{
    return stateOf(section).ascending;
}

qint64 CustomHeaderCell::priority(int section) const
{
    return stateOf(section).priority;
}

void CustomHeaderCell::paintEvent(QPaintEvent* event)
{
    QHeaderView::paintEvent(event);
    // Beyond the last column the header stays dark as well.
    int end = 0;
    for (int visual = count() - 1; visual >= 0; --visual) {
        const int logical = logicalIndex(visual);
        if (!isSectionHidden(logical)) {
            end = sectionViewportPosition(logical) + sectionSize(logical);
            break;
        }
    }
    if (end < viewport()->width()) {
        QPainter painter(viewport());
        painter.fillRect(QRect(end, 0, viewport()->width() - end, viewport()->height()), getColor(61, 73, 110, 1));
    }
}

void CustomHeaderCell::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    const SortState sort = stateOf(logicalIndex);
    painter->save();
    painter->fillRect(rect, getColor(61, 73, 110, 1));

    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(getColor(58, 66, 95, 1));
    painter->drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
    painter->drawLine(rect.left(), rect.top() + 1, rect.right(), rect.top() + 1);

    const int titleWidth = (sort.priority == 0 ? rect.width() - 8 : rect.width()) - m_titleInset;
    const QString title = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    painter->setFont(FontCache::lightFont(12));
    painter->setPen(getColor(194, 200, 230, 1));
    painter->drawText(QRect(rect.x() + m_titleInset, rect.y() + 5, titleWidth, rect.height()), Qt::AlignLeft | Qt::AlignTop,
                      title);

    if (sort.priority == 0) {
        const qreal x0 = rect.x() + rect.width() - 12;
        const qreal top = rect.y();
        const qreal bottom = rect.y() + rect.height();
        QPainterPath triangle;
        if (sort.ascending) {
            triangle.moveTo(x0, bottom - 10);
            triangle.lineTo(x0 + 4, bottom - 17);
            triangle.lineTo(x0 + 8, bottom - 10);
        } else {
            triangle.moveTo(x0, top + 10);
            triangle.lineTo(x0 + 4, top + 17);
            triangle.lineTo(x0 + 8, top + 10);
        }
        triangle.closeSubpath();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(triangle, Qt::white);
    }
    painter->restore();
}
