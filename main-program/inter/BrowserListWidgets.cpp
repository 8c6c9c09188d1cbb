#include "inter/BrowserListWidgets.h"

#include "Comm/FontCache.h"
#include "Comm/GetColor.h"
#include "ProgressView/RFOverlayScroller.h"
#include "platform/ImageStore.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

BrowserListModel::BrowserListModel(QStringList columnIds, QObject* parent)
    : QAbstractTableModel(parent), m_columnIds(std::move(columnIds))
{
}

void BrowserListModel::setRows(BrowerObjList rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void BrowserListModel::reloadData()
{
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, int(m_columnIds.size()) - 1));
}

bool BrowserListModel::noProfile(const BrowerObj& browser)
{
    for (const BrowerObjPtr& category : browser.chrArr)
        if (category->outcome == BrowerObj::Outcome::NoProfile)
            return true;
    return false;
}

QVariant BrowserListModel::data(const QModelIndex& index, int role) const
{
    const BrowerObjPtr node = nodeAt(index.row());
    if (role != Qt::ToolTipRole || !node)
        return {};
    // Reasons name paths and browsers: shown as plain text, never markup.
    const auto plain = [](const QString& text) {
        return QVariant(QStringLiteral("<p style=\"white-space:pre-wrap\">%1</p>").arg(text.toHtmlEscaped()));
    };
    if (node->isBrowser()) {
        for (const BrowerObjPtr& category : node->chrArr)
            if (category->outcome == BrowerObj::Outcome::NoProfile)
                return plain(category->failReason);
        return {};
    }
    if (node->outcome == BrowerObj::Outcome::Measured || node->outcome == BrowerObj::Outcome::Cleaned
        || node->failReason.isEmpty())
        return {};
    return plain(node->failReason);
}

BroTableView::BroTableView(QWidget* parent) : QTableView(parent)
{
    setShowGrid(false);
    verticalHeader()->hide();
    horizontalHeader()->hide();
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Reached by Tab; the keys are our own (keyPressEvent).
    setFocusPolicy(Qt::StrongFocus);
    setTabKeyNavigation(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral("QTableView { background: transparent; border: none; }"));
    viewport()->setAutoFillBackground(false);
    RFOverlayScroller::overlay(this);
}

QColor BroTableView::rowColor(bool highlighted)
{
    return highlighted ? getColor(255, 255, 255, 0.1f) : getColor(50, 50, 61, 1);
}

void BroTableView::paintEvent(QPaintEvent* event)
{
    if (model()) {
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        for (int row = 0; row < model()->rowCount(); ++row) {
            const int y = rowViewportPosition(row);
            if (y > viewport()->height())
                break;
            QPainterPath bar;
            bar.addRoundedRect(QRectF(0, y, viewport()->width(), rowHeight(row)), 8, 8);
            painter.fillPath(bar, rowColor(row == m_rowNum));
        }
        const int focused = focusRow();
        if (hasFocus() && focused >= 0) {
            QPainterPath ring;
            ring.addRoundedRect(QRectF(1, rowViewportPosition(focused) + 1, viewport()->width() - 2,
                                       rowHeight(focused) - 2), 8, 8);
            painter.setPen(QPen(getColor(120, 170, 255, 1), 2));
            painter.drawPath(ring);
        }
    }
    QTableView::paintEvent(event);
}

int BroTableView::focusRow() const
{
    const int rows = model() ? model()->rowCount() : 0;
    if (rows == 0)
        return -1;
    return m_rowNum >= 0 && m_rowNum < rows ? m_rowNum : 0;
}

void BroTableView::keyPressEvent(QKeyEvent* event)
{
    const int rows = model() ? model()->rowCount() : 0;
    const int at = focusRow();
    if (rows == 0 || event->modifiers() & ~Qt::KeypadModifier) {
        QTableView::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        // From no highlighted row, Down goes to the first.
        int next = event->key() == Qt::Key_Up ? at - 1 : (m_rowNum < 0 ? 0 : at + 1);
        next = std::clamp(next, 0, rows - 1);
        emit rowChosen(next);
        scrollTo(model()->index(next, 0));
        viewport()->update();
        break;
    }
    case Qt::Key_Space:
        emit tickRequested(at);
        viewport()->update();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit rowChosen(at);
        viewport()->update();
        break;
    default:
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void BroTableView::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
}

void BroTableView::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

BrowerButtonCell::BrowerButtonCell(BroTableView* table, QString columnId, WillDisplayButtonCell willDisplay)
    : QStyledItemDelegate(table), m_table(table), m_columnId(std::move(columnId)), m_willDisplay(std::move(willDisplay))
{
}

void BrowerButtonCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    auto* self = const_cast<BrowerButtonCell*>(this);
    if (m_willDisplay)
        m_willDisplay(self, m_columnId, index.row());
    const QSize size = platform::imageSize(m_imageName);
    if (size.isEmpty())
        return;
    const QRect r(option.rect.center().x() - size.width() / 2 + 1, option.rect.center().y() - size.height() / 2 + 1,
                  size.width(), size.height());
    painter->drawPixmap(r, platform::imageNamed(m_imageName, size, painter->device()->devicePixelRatioF()));
}

bool BrowerButtonCell::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem&,
                                   const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return false;
    m_table->setClickedRow(index.row());
    if (m_action)
        m_action(m_table);
    return true;
}

BrowerImageAndTextCell::BrowerImageAndTextCell(QObject* parent, QString columnId, WillDisplayTextCell willDisplay)
    : QStyledItemDelegate(parent), m_columnId(std::move(columnId)), m_willDisplay(std::move(willDisplay))
{
}

void BrowerImageAndTextCell::setTitle(const QString& title, float width, bool isSize, bool isSmal)
{
    m_note.clear();
    m_title = title;
    m_subWidth = width;
    m_isSize = isSize;
    m_isSmal = isSmal;
}

QSizeF BrowerImageAndTextCell::imageSize() const
{
    if (m_image.isNull())
        return {};
    QSize largest;
    for (const QSize& size : m_image.availableSizes())
        if (size.width() > largest.width())
            largest = size;
    // A scalable theme icon has no sizes of its own: it is as large as asked.
    return largest.isEmpty() ? QSizeF(m_image.actualSize(QSize(256, 256))) : QSizeF(largest);
}

QRectF BrowerImageAndTextCell::titleRect(const QRectF& frame) const
{
    const qreal inset = m_image.isNull() || imageSize().width() < 25 ? 10 : 48;
    const qreal x = frame.x() + inset;
    const qreal y = frame.y() + (qFuzzyCompare(frame.height(), 40.0) ? 10 : 13);
    return QRectF(x, y, m_subWidth, 18);
}

QRectF BrowerImageAndTextCell::iconRect(const QRectF& frame) const
{
    const qreal h = m_iconSize.height();
    // A flipped view: y grows downwards.
    const qreal y = frame.y() - h + std::ceil((frame.height() + h) / 2);
    return QRectF(frame.x() + 9, y, m_iconSize.width(), h);
}

QRectF BrowerImageAndTextCell::imageRect(const QRectF& frame) const
{
    if (m_image.isNull())
        return {};
    const QSizeF own = imageSize();
    return QRectF(frame.x() + 3, frame.y() + std::ceil((frame.height() - own.height()) / 2), own.width(), own.height());
}

QRectF BrowerImageAndTextCell::editingRect(const QRectF& frame) const
{
    const qreal cut = m_image.isNull() ? 0 : imageSize().width() + 3;
    return frame.adjusted(qMin(cut, frame.width()), 0, 0, 0);
}

QSize BrowerImageAndTextCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QSize text = QStyledItemDelegate::sizeHint(option, index);
    return text + QSize(3 + (m_image.isNull() ? 0 : int(std::ceil(imageSize().width()))), 0);
}

void BrowerImageAndTextCell::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                  const QModelIndex&) const
{
    if (editor)
        editor->setGeometry(editingRect(option.rect).toRect());
}

void BrowerImageAndTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    auto* self = const_cast<BrowerImageAndTextCell*>(this);
    if (m_willDisplay)
        m_willDisplay(self, m_columnId, index.row());
    const QRectF frame = option.rect;
    painter->save();
    if (!m_title.isEmpty()) {
        QColor color(Qt::white);
        color.setAlphaF(m_isSmal ? 0.6f : 1.0f);
        painter->setPen(color);
        const QFont font = FontCache::lightFont(14);
        painter->setFont(font);
        QRectF rect = titleRect(frame);
        // With a note the title moves up to make room for it below.
        if (!m_note.isEmpty())
            rect.translate(0, -7);
        const QString text = QFontMetrics(font).elidedText(m_title, Qt::ElideRight, int(rect.width()));
        painter->drawText(rect, (m_isSmal ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, text);
        if (!m_note.isEmpty()) {
            color.setAlphaF(0.6f);
            painter->setPen(color);
            const QFont small = FontCache::lightFont(12);
            painter->setFont(small);
            const QRectF below(rect.x(), rect.bottom() + 1, rect.width(), 15);
            painter->drawText(below, Qt::AlignLeft | Qt::AlignVCenter,
                              QFontMetrics(small).elidedText(m_note, Qt::ElideRight, int(below.width())));
        }
    }
    if (!m_image.isNull())
        m_image.paint(painter, iconRect(frame).toRect());
    painter->restore();
}
