#include "SetEraserLevel/SidePanelSlot.h"

#include "PopWindow/FocusTrap.h"

#include <QApplication>
#include <QVBoxLayout>

SidePanelSlot::SidePanelSlot(QWidget* container) : m_container(container)
{
    if (!m_container->layout()) {
        auto* layout = new QVBoxLayout(m_container);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
}

void SidePanelSlot::present(QWidget* panel)
{
    if (!m_container)
        return;
    // One panel replacing another keeps the first one's opener.
    if (QWidget* focus = QApplication::focusWidget(); !focus || !m_container->isAncestorOf(focus))
        m_opener.remember(m_container->window());
    delete m_panel;
    m_panel = panel;
    m_container->layout()->addWidget(panel);
    panel->show();
    m_container->show();
    m_container->raise();
    // The keyboard goes to the panel, so Escape can close it, and stays
    // there while it shows.
    FocusTrap::install(panel);
    panel->setFocus(Qt::OtherFocusReason);
    slide(kHiddenX, 0, false);
}

void SidePanelSlot::dismiss()
{
    if (!m_container || !m_container->isVisible())
        return;
    slide(m_container->x(), kHiddenX, true);
    if (QWidget* focus = QApplication::focusWidget(); !focus || m_container->isAncestorOf(focus))
        m_opener.giveBack();
}

void SidePanelSlot::slide(int fromX, int toX, bool hideWhenDone)
{
    if (m_animation)
        m_animation->stop();
    const int y = m_container->y();
    m_container->move(fromX, y);
    auto* animation = new QPropertyAnimation(m_container, "pos", m_container);
    animation->setDuration(kSlideMs);
    animation->setStartValue(QPoint(fromX, y));
    animation->setEndValue(QPoint(toX, y));
    if (hideWhenDone) {
        QObject::connect(animation, &QPropertyAnimation::finished, m_container, [c = m_container] {
            if (c)
                c->hide();
        });
    }
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void SidePanelSlot::slidePage(QWidget* page, int x, QObject* context, std::function<void()> done)
{
    auto* animation = new QPropertyAnimation(page, "pos", page);
    animation->setDuration(kSlideMs);
    animation->setEndValue(QPoint(x, page->y()));
    if (done)
        QObject::connect(animation, &QPropertyAnimation::finished, context, std::move(done));
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
