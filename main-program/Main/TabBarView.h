#pragma once
#include <QAbstractButton>
#include <QWidget>

class QMenuBar;

class TabBarVDelegate
{
public:
    virtual ~TabBarVDelegate() = default;
    // Sent before the title bar closes its window.
    virtual void closeWindowAction() {}
};

// One round title-bar button: close, minimise or zoom.
class TitleBarButton : public QAbstractButton
{
    Q_OBJECT
public:
    TitleBarButton(QString idStr, QColor colour, QWidget* parent);
    QString idStr() const { return m_idStr; }
    void setHovered(bool hovered);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_idStr;
    QColor m_colour;
    bool m_hovered = false;
};

// The main window's own title bar: the close, minimise and zoom buttons,
// and the menus beside them.
class TabBarView : public QWidget
{
    Q_OBJECT
public:
    explicit TabBarView(QWidget* parent = nullptr);

    TabBarVDelegate* delegate = nullptr;
    QAbstractButton* closeButton() const { return m_close; }
    QAbstractButton* minButton() const { return m_min; }
    QAbstractButton* zoomButton() const { return m_zoom; }

    void setMinAction(bool enabled);
    void setMenuBar(QMenuBar* menuBar);

public slots:
    void clickCloseButton();
    void clickMinimizeButton();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TitleBarButton* m_close = nullptr;
    TitleBarButton* m_min = nullptr;
    TitleBarButton* m_zoom = nullptr;
};
