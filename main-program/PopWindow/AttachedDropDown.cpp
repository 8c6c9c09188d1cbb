#include "PopWindow/AttachedDropDown.h"

#include <QEvent>
#include <QTimer>

AttachedDropDown::AttachedDropDown(QObject* parent)
    : QObject(parent)
{
}

AttachedDropDown::~AttachedDropDown()
{
    delete m_window.data();
}

MAAttachedWindow* AttachedDropDown::open(QWidget* content, QWidget* parentWindow, QPointF anchor, int side,
                                         double distance)
{
    dismiss();
    if (!content)
        return nullptr;
    m_isPopSortWin = true;
    m_window = new MAAttachedWindow(content, anchor, parentWindow, side, distance, 0.8);
    m_window->installEventFilter(this);
    m_window->show();
    m_window->raise();

    // A timer of an earlier opening must never close this one.
    const quint64 generation = ++m_generation;
    QTimer::singleShot(m_autoCloseMs, this, [this, generation] {
        if (generation == m_generation)
            closeMattachedWindow();
    });
    return m_window;
}

void AttachedDropDown::keepOpen()
{
    if (!m_window)
        return;
    ++m_generation;  // the timer of this opening finds a newer one and does nothing
    m_isPopSortWin = false;
}

void AttachedDropDown::mouseEixtView(bool left)
{
    m_isPopSortWin = left;
    if (left)
        closeMattachedWindow();
}

void AttachedDropDown::closeMattachedWindow()
{
    if (!m_isPopSortWin)
        return;
    dismiss();
}

void AttachedDropDown::choiceMade()
{
    dismiss();
}

void AttachedDropDown::dismiss()
{
    m_isPopSortWin = false;
    if (!m_window)
        return;
    ++m_generation;
    MAAttachedWindow* window = m_window;
    m_window = nullptr;
    window->removeEventFilter(this);
    window->hide();
    // Closing is often asked from inside the window's own event handling.
    window->deleteLater();
    emit closed();
}

bool AttachedDropDown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::Enter)
            mouseEixtView(false);
        else if (event->type() == QEvent::Leave)
            mouseEixtView(true);
    }
    return QObject::eventFilter(watched, event);
}
