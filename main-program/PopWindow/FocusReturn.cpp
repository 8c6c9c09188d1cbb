#include "PopWindow/FocusReturn.h"

#include "ToolCon/FourStateImageButton.h"

#include <QApplication>

namespace FocusReturn {

namespace {

class Home : public QObject
{
public:
    Home(QWidget* window, std::function<QWidget*()> home) : QObject(window), find(std::move(home))
    {
        setObjectName(QStringLiteral("focusHome"));
    }
    std::function<QWidget*()> find;
};

bool canTake(const QWidget* w)
{
    if (!w || !w->isVisible() || !w->isEnabled() || w->focusPolicy() == Qt::NoFocus)
        return false;
    if (auto* picture = qobject_cast<const FourStateImageButton*>(w); picture && !picture->buttonEnabled())
        return false;
    // A control parked off its page (a slid-out screen) is no place for the keyboard.
    return !w->visibleRegion().isEmpty();
}

QWidget* homeOf(QWidget* window)
{
    if (!window)
        return nullptr;
    window = window->window();
    auto* home = window->findChild<Home*>(QStringLiteral("focusHome"), Qt::FindDirectChildrenOnly);
    QWidget* w = home && home->find ? home->find() : nullptr;
    return canTake(w) ? w : nullptr;
}

}  // namespace

void setHome(QWidget* window, std::function<QWidget*()> home)
{
    if (!window)
        return;
    delete window->findChild<Home*>(QStringLiteral("focusHome"), Qt::FindDirectChildrenOnly);
    new Home(window, std::move(home));
}

QWidget* target(QWidget* opener, QWidget* window)
{
    if (canTake(opener))
        return opener;
    if (QWidget* home = homeOf(window))
        return home;
    if (opener)
        if (QWidget* home = homeOf(opener->window()))
            return home;
    return nullptr;
}

bool giveBack(QWidget* opener, QWidget* window)
{
    QWidget* to = target(opener, window);
    if (!to)
        return false;
    QWidget* top = to->window();
    if (!top->isActiveWindow()) {
        top->activateWindow();
        // Without a window manager the request may never be answered: the
        // application takes the window as active itself.
        QApplication::setActiveWindow(top);
    }
    to->setFocus(Qt::OtherFocusReason);
    return true;
}

Keeper::Keeper(QWidget* window)
{
    remember(window);
}

void Keeper::remember(QWidget* window)
{
    m_opener = QApplication::focusWidget();
    m_window = window ? window : (m_opener ? m_opener->window() : nullptr);
}

}  // namespace FocusReturn
