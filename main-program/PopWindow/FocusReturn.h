#pragma once
#include <QPointer>
#include <QWidget>

#include <functional>

// Where the keyboard goes when a dialog, panel or end page closes: back to
// the control that opened it, or, when that control can no longer take it
// (hidden, disabled, gone), to the home its window names (the main window
// names its navigation). Without a window manager nothing else would give
// the keyboard back, and Tab and the tool keys would do nothing until a click.
namespace FocusReturn {

// Names `home` as where the keyboard goes in `window` when no opener can
// take it. Replaces an earlier home; lives as long as `window`.
void setHome(QWidget* window, std::function<QWidget*()> home);

// The control that would be given the keyboard: `opener` when it can take
// it, else the home of `window` (or of the opener's window).
QWidget* target(QWidget* opener, QWidget* window);

// Activates the target's window and gives it the keyboard. False when
// there is nowhere to go.
bool giveBack(QWidget* opener, QWidget* window);

// Remembers what has the keyboard now, to give it back later.
class Keeper
{
public:
    Keeper() = default;
    explicit Keeper(QWidget* window);
    void remember(QWidget* window);
    bool giveBack() const { return FocusReturn::giveBack(m_opener, m_window); }
    QWidget* opener() const { return m_opener; }

private:
    QPointer<QWidget> m_opener;
    QPointer<QWidget> m_window;
};

}  // namespace FocusReturn
