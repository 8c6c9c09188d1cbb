#include "Main/Tools/ListKeys.h"

#include "ToolCon/KeyRing.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

ListKeys* ListKeys::install(QAbstractItemView* view, Actions actions)
{
    if (!view)
        return nullptr;
    if (ListKeys* existing = of(view)) {
        existing->m_actions = std::move(actions);
        return existing;
    }
    return new ListKeys(view, std::move(actions));
}

ListKeys* ListKeys::of(const QAbstractItemView* view)
{
    return view ? view->findChild<ListKeys*>(QStringLiteral("listKeys"), Qt::FindDirectChildrenOnly) : nullptr;
}

ListKeys::ListKeys(QAbstractItemView* view, Actions actions) : QObject(view), m_view(view), m_actions(std::move(actions))
{
    setObjectName(QStringLiteral("listKeys"));
    view->setFocusPolicy(Qt::StrongFocus);
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
    m_ring = new KeyRing(view->viewport(), 8);
    m_ring->setObjectName(QStringLiteral("listRowRing"));
    if (QAbstractItemModel* model = view->model()) {
        // The row stays where it was, inside the new count.
        auto settle = [this] { setFocusedRow(m_row < 0 ? -1 : qMin(m_row, rowCount() - 1)); };
        connect(model, &QAbstractItemModel::modelReset, this, settle);
        connect(model, &QAbstractItemModel::rowsRemoved, this, settle);
        connect(model, &QAbstractItemModel::rowsInserted, this, [this] { placeRing(); });
        connect(model, &QAbstractItemModel::layoutChanged, this, [this] { placeRing(); });
    }
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { placeRing(); });
}

QWidget* ListKeys::ring() const
{
    return m_ring;
}

int ListKeys::rowCount() const
{
    return m_view && m_view->model() ? m_view->model()->rowCount(m_view->rootIndex()) : 0;
}

QRect ListKeys::rowRect(int row) const
{
    if (m_actions.ringRect)
        return m_actions.ringRect(row);
    const QRect cell = m_view->visualRect(m_view->model()->index(row, 0, m_view->rootIndex()));
    return QRect(0, cell.top(), m_view->viewport()->width(), cell.height());
}

void ListKeys::setFocusedRow(int row)
{
    if (!m_view)
        return;
    const int count = rowCount();
    m_row = count == 0 ? -1 : qBound(-1, row, count - 1);
    if (m_row >= 0) {
        const QModelIndex index = m_view->model()->index(m_row, 0, m_view->rootIndex());
        // The current index tells assistive technology which row is focused.
        if (m_view->selectionModel())
            m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        m_view->scrollTo(index);
    }
    placeRing();
}

void ListKeys::placeRing()
{
    if (!m_view || !m_ring)
        return;
    if (m_row >= rowCount())
        m_row = rowCount() - 1;
    if (m_row < 0 || !m_view->hasFocus()) {
        m_ring->hide();
        return;
    }
    m_ring->setGeometry(rowRect(m_row));
    m_ring->show();
    m_ring->raise();
    m_ring->update();
}

bool ListKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_view)
        return false;
    if (watched == m_view) {
        switch (event->type()) {
        case QEvent::KeyPress:
            return handleKey(static_cast<QKeyEvent*>(event));
        case QEvent::FocusIn:
            // Coming in by keys with no row yet: the first row, shown.
            if (m_row < 0 && rowCount() > 0)
                setFocusedRow(0);
            else
                placeRing();
            break;
        case QEvent::FocusOut:
            placeRing();
            break;
        default:
            break;
        }
        return false;
    }
    if (watched == m_view->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            const QModelIndex index = m_view->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            if (index.isValid()) {
                m_row = index.row();
                placeRing();
            }
        } else if (event->type() == QEvent::Resize) {
            placeRing();
        }
    }
    return false;
}

bool ListKeys::handleKey(QKeyEvent* key)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    const int count = rowCount();
    const bool menuKey = key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && mods == Qt::ShiftModifier);
    if (mods != Qt::NoModifier && !menuKey)
        return false;
    const int page = qMax(1, m_view->viewport()->height() / qMax(1, rowRect(qMax(0, m_row)).height()));
    int target = m_row;
    switch (key->key()) {
    case Qt::Key_Up:
        target = m_row < 0 ? 0 : m_row - 1;
        break;
    case Qt::Key_Down:
        target = m_row + 1;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = count - 1;
        break;
    case Qt::Key_PageUp:
        target = m_row - page;
        break;
    case Qt::Key_PageDown:
        target = m_row + page;
        break;
    case Qt::Key_Space:
        if (m_row >= 0 && m_row < count && m_actions.toggle && !key->isAutoRepeat())
            m_actions.toggle(m_row);
        return m_row >= 0 || count == 0;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_row < 0 || m_row >= count || !m_actions.activate)
            return false;  // the window's own Return (a default button) goes on
        if (!key->isAutoRepeat())
            m_actions.activate(m_row);
        return true;
    default:
        if (menuKey && m_row >= 0 && m_row < count && m_actions.contextMenu) {
            m_actions.contextMenu(m_row, rowRect(m_row));
            return true;
        }
        return false;
    }
    if (count == 0)
        return true;
    setFocusedRow(qBound(0, target, count - 1));
    return true;
}
