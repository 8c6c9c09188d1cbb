#pragma once
#include "TopView/StandardWindowButton.h"

#include <QPointer>
#include <QWidget>

// Holds the main window's three window buttons and makes them show their
// hover glyphs together while the pointer is over this view.
class CustomWindowButtonView : public QWidget, public WindowButtonGroupHost
{
    Q_OBJECT
public:
    explicit CustomWindowButtonView(QWidget* parent = nullptr);

    bool mouseInside() const { return m_mouseInside; }
    void setMouseInside(bool inside) { m_mouseInside = inside; }

    QAbstractButton* closeButton() const { return m_closeButton; }
    QAbstractButton* minitButton() const { return m_minitButton; }
    QAbstractButton* zoomButton() const { return m_zoomButton; }
    void setCloseButton(QAbstractButton* button) { m_closeButton = button; }
    void setMinitButton(QAbstractButton* button) { m_minitButton = button; }
    void setZoomButton(QAbstractButton* button) { m_zoomButton = button; }

    bool mouseInGroup(const StandardWindowButton* button) const override;
    void setNeedsDisplayForStandardWindowButtons();

    void applicationWillBecomeActive();
    void applicationDidResignActive();
    void windowActiveChanged();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool m_mouseInside = false;
    QPointer<QAbstractButton> m_closeButton;
    QPointer<QAbstractButton> m_minitButton;
    QPointer<QAbstractButton> m_zoomButton;
};
