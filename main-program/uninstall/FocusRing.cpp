#include "uninstall/FocusRing.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

FocusRing::FocusRing(QAbstractItemView* view, std::function<QRect(const QModelIndex&)> rectOf)
    : KeyRing(view->viewport()), m_view(view), m_rectOf(std::move(rectOf))
{
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
    // Any of these moves the row under the ring; placed again once the view has laid it out.
    auto later = [this] { QTimer::singleShot(0, this, &FocusRing::follow); };
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, later);
    connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, later);
    // The view's model is set before its ring is made.
    if (view->selectionModel())
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, &FocusRing::follow);
    if (auto* tree = qobject_cast<QTreeView*>(view)) {
        connect(tree, &QTreeView::expanded, this, later);
        connect(tree, &QTreeView::collapsed, this, later);
    }
}

void FocusRing::follow()
{
    if (!m_view)
        return;
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid() || !m_view->hasFocus()) {
        hide();
        return;
    }
    QRect r;
    if (m_rectOf) {
        r = m_rectOf(current);
    } else {
        const int columns = m_view->model()->columnCount(current.parent());
        for (int c = 0; c < columns; ++c)
            r = r.united(m_view->visualRect(current.siblingAtColumn(c)));
    }
    if (r.isEmpty()) {
        hide();
        return;
    }
    setGeometry(r.adjusted(1, 1, -1, -1));
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::LayoutRequest:
        QTimer::singleShot(0, this, &FocusRing::follow);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
