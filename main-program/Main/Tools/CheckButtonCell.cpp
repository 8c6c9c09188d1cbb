#include "Main/Tools/CheckButtonCell.h"

#include "Main/Tools/CellPicture.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>

#include <optional>

namespace {

qint64 steadyNow()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

// Shared by every check cell of the process, like one click counter.
CheckButtonCell::Clock& clickClock()
{
    static CheckButtonCell::Clock c = steadyNow;
    return c;
}

std::optional<qint64>& lastAcceptedClick()
{
    static std::optional<qint64> last;
    return last;
}

bool acceptClick()
{
    const qint64 now = clickClock()();
    std::optional<qint64>& last = lastAcceptedClick();
    if (last && now - *last < CheckButtonCell::kClickGapMs)
        return false;
    last = now;
    return true;
}

}  // namespace

CheckButtonCell::CheckButtonCell(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

void CheckButtonCell::setClock(Clock c)
{
    clickClock() = c ? std::move(c) : Clock(steadyNow);
    lastAcceptedClick().reset();
}

QRect CheckButtonCell::hitSquare(const QRect& cellFrame)
{
    // Centred on the drawn box, whatever the list's row height.
    return QRect(21, cellFrame.y() + (cellFrame.height() - 20) / 2, 20, 20);
}

void CheckButtonCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QPixmap image = cellPicture(index, 16, m_image);
    if (image.isNull())
        return;
    const float y = static_cast<float>(option.rect.y() + (option.rect.height() - 16) / 2.0);
    painter->drawPixmap(QRectF(23, y, 16, 16), image, QRectF(image.rect()));
}

bool CheckButtonCell::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                  const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton || !hitSquare(option.rect).contains(mouse->position().toPoint()))
        return false;
    if (acceptClick() && m_delegate)
        m_delegate->clickButtonAction(this, index);
    return true;
}
