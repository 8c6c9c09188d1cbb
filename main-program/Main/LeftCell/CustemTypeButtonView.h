#pragma once
#include <QPixmap>
#include <QWidget>

class QLabel;

class CustemTypeButtonViewDelegate
{
public:
    virtual ~CustemTypeButtonViewDelegate() = default;
    virtual void mouseClickAction(int tag) = 0;
};

// One entry of the navigation column: an icon and a title on a rounded
// highlight when selected. It takes the keyboard from Tab, so the tools can
// be switched without a mouse.
class CustemTypeButtonView : public QWidget
{
    Q_OBJECT
public:
    explicit CustemTypeButtonView(QWidget* parent = nullptr);

    QPixmap iconImage;
    QPixmap sleIconImage;
    QString nameStr;
    int butTag = 0;
    CustemTypeButtonViewDelegate* delegate = nullptr;

    void loadView();
    void buttonClick(bool selected);
    void setButtonEnden(bool enabled);
    bool isClick() const { return m_isClick; }
    bool isEnd() const { return m_isEnd; }

    QLabel* iconImageView() const { return m_iconImageView; }
    QLabel* nameLabel() const { return m_nameLabel; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // Up and Down choose the entry above or below, as a click on it does;
    // Space and Return choose this one.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refreshLook();

    QLabel* m_iconImageView = nullptr;
    QLabel* m_nameLabel = nullptr;
    bool m_isClick = false;
    bool m_isEnd = true;
};
