#include "SetEraserLevel/HistoryCells.h"

#include "Comm/FontCache.h"
#include "platform/Log.h"
#include "platform/ImageStore.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QPainter>
#include "ToolCon/DarkLook.h"

#include <QToolTip>

namespace {

constexpr int kIconSide = 16;
constexpr int kIconSlice = 19;
constexpr int kHitSide = 30;
constexpr qint64 kDebounceMs = 200;

bool isHeaderText(const QString& title)
{
    return title == QLatin1String("Items") || title == QLatin1String("Erasure Algorithm") ||
           title == QLatin1String("Result");
}

}  // namespace

void HistoryTextFieldCell::drawTitle(QPainter* painter, const QRect& cell, const QString& title, int width, bool dimmed)
{
    if (title.isEmpty())
        return;
    painter->save();
    painter->setFont(FontCache::lightFont(12));
    painter->setPen(dimmed ? QColor(255, 255, 255, 102) : QColor(Qt::white));
    const QRect text(cell.x() + 8, cell.y() + 11, width, 17);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(title, Qt::ElideRight, text.width()));
    painter->restore();
}

void HistoryTextFieldCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    paintBackground(painter, option, index);
    const QString title = index.data().toString();
    drawTitle(painter, option.rect, title, titleWidth(option.rect), isHeaderText(title) && index.column() < 2);
    // Once per title while this list lives: a slide repaints every cell many times.
    if (!m_logged.contains(title)) {
        m_logged.insert(title);
        platform::log(QStringLiteral("--") + title);
    }
}

int HistoryTextFieldCell::titleWidth(const QRect& cell) const
{
    return std::min(220, cell.width() - 8);
}

bool HistoryTextFieldCell::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                     const QModelIndex& index)
{
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString title = index.data().toString();
    const QFontMetrics metrics(FontCache::lightFont(12));
    if (!title.isEmpty() && metrics.horizontalAdvance(title) > titleWidth(option.rect)) {
        QToolTip::showText(event->globalPos(), DarkLook::plainToolTip(title), view->viewport(), option.rect);
        return true;
    }
    QToolTip::hideText();
    event->ignore();
    return false;
}

void HistoryTextFieldCell::paintBackground(QPainter* painter, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    // The row's selection and hover look, without the style's own text.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    const QWidget* widget = background.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);
}

QSize HistoryTextFieldCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return {QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight};
}

int HistoryDeleteTextFieldCell::titleWidth(const QRect& cell) const
{
    return cell.width() - 8;
}

QRect HistoryDeleteTextFieldCell::folderImageFrame(const QRect& cell)
{
    return {cell.x(), cell.y() + 12, kIconSide, kIconSide};
}

QRect HistoryDeleteTextFieldCell::deleteImageFrame(const QRect& cell)
{
    return {cell.x() + kIconSlice + 10, cell.y() + 12, kIconSide, kIconSide};
}

bool HistoryDeleteTextFieldCell::showsIcons(const QModelIndex& index) const
{
    return m_shownRun.isValid() && index.row() == m_shownRun.row() && index.parent() == m_shownRun.parent() &&
           !index.parent().isValid();
}

void HistoryDeleteTextFieldCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    paintBackground(painter, option, index);
    const QString title = index.data().toString();
    if (!title.isEmpty()) {
        drawTitle(painter, option.rect, title, titleWidth(option.rect), title == QLatin1String("Result"));
        return;
    }
    if (!showsIcons(index))
        return;
    painter->drawPixmap(folderImageFrame(option.rect),
                        platform::imageNamed(QStringLiteral("ic_export"), QSize(kIconSide, kIconSide),
                                             painter->device()->devicePixelRatioF()));
    painter->drawPixmap(deleteImageFrame(option.rect),
                        platform::imageNamed(QStringLiteral("ic_trash"), QSize(kIconSide, kIconSide),
                                             painter->device()->devicePixelRatioF()));
}

bool HistoryDeleteTextFieldCell::hitTestForEvent(const QPoint& pos, const QRect& cell, const QModelIndex& index)
{
    if (!index.data().toString().isEmpty() || !showsIcons(index))
        return false;
    const QRect exportRect(folderImageFrame(cell).topLeft(), QSize(kHitSide, kHitSide));
    const QRect deleteRect(deleteImageFrame(cell).topLeft(), QSize(kHitSide, kHitSide));
    const bool onExport = exportRect.contains(pos);
    // The export rectangle overlaps the trash icon's left edge; export wins there.
    const bool onDelete = !onExport && deleteRect.contains(pos);
    if (!onExport && !onDelete)
        return false;

    // One click may arrive as several presses (a double click): act once per
    // 0.2 s, process-wide, on the main thread's monotonic clock.
    static QElapsedTimer lastHit;
    if (lastHit.isValid() && lastHit.elapsed() < kDebounceMs)
        return true;
    lastHit.start();
    const QString title = index.data().toString();
    if (m_delegate) {
        if (onExport)
            m_delegate->clickExportWithDate(title);
        else
            m_delegate->clickDeleteWithDate(title);
    }
    return true;
}
