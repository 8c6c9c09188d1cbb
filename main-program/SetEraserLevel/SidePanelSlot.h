#pragma once
#include "PopWindow/FocusReturn.h"

#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>

#include <functional>

// Where a tool shows one of its side panels (the erasure level chooser, the
// history): a container of the tool's own view, sized to the area the panel
// covers. Presenting a panel replaces the one before it and slides the
// container in from the right; dismissing slides it back out and hides it.
class SidePanelSlot
{
public:
    static constexpr int kHiddenX = 730;
    static constexpr int kSlideMs = 500;

    explicit SidePanelSlot(QWidget* container);

    // Takes ownership of `panel` (through the container) and deletes the
    // panel shown before.
    void present(QWidget* panel);
    // Gives the keyboard back to the control that opened the panel.
    void dismiss();

    // Slides a tool's own page to `x` along its row over the panels' time;
    // `done` runs in `context` at the end, unless `context` has gone by then.
    static void slidePage(QWidget* page, int x, QObject* context, std::function<void()> done = {});

    QWidget* container() const { return m_container; }
    QWidget* panel() const { return m_panel; }

private:
    void slide(int fromX, int toX, bool hideWhenDone);

    QPointer<QWidget> m_container;
    QPointer<QWidget> m_panel;
    QPointer<QPropertyAnimation> m_animation;
    FocusReturn::Keeper m_opener;  // gets the keyboard back on dismiss
};
