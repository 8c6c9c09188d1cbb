#pragma once
#include <QWidget>

class HMTrafficButtonsContainer;

class TabBarVDelegate
{
public:
    virtual ~TabBarVDelegate() = default;
    // Sent before the title bar closes its window.
    virtual void closeWindowAction() {}
};

// The title bar of the program's own windows: their close, minimise and
// zoom buttons. The pointer over it gives every traffic button its hover look.
class TabBarView : public QWidget
{
    Q_OBJECT
public:
    explicit TabBarView(QWidget* parent = nullptr);

    TabBarVDelegate* delegate = nullptr;
    HMTrafficButtonsContainer* closeButton() const { return m_closeButton; }
    HMTrafficButtonsContainer* minButton() const { return m_minButton; }
    HMTrafficButtonsContainer* zoomButton() const { return m_zoomButton; }

    void setMinAction(bool enabled);

public slots:
    void clickCloseButton();
    void clickMinimizeButton();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    HMTrafficButtonsContainer* makeButton(int x, const QString& idStr);

    HMTrafficButtonsContainer* m_closeButton = nullptr;
    HMTrafficButtonsContainer* m_minButton = nullptr;
    HMTrafficButtonsContainer* m_zoomButton = nullptr;
};
