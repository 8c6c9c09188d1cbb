#pragma once
#include <QLineEdit>

class CustemTextFieldCell;
class QTimer;

class CustemTextFieldDelegate
{
public:
    virtual ~CustemTextFieldDelegate() = default;
    virtual void beginToEnditForTextField() {}
};

// The search field: tells its delegate when the user starts editing in it,
// and draws its caret in the insertion-point colour of its cell.
class CustemTextField : public QLineEdit
{
    Q_OBJECT
public:
    explicit CustemTextField(QWidget* parent = nullptr);
    ~CustemTextField() override;

    void setCTdelegate(CustemTextFieldDelegate* delegate) { m_delegate = delegate; }
    CustemTextFieldDelegate* CTdelegate() const { return m_delegate; }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CustemTextFieldDelegate* m_delegate = nullptr;
    CustemTextFieldCell* m_cell;
    QTimer* m_blink;
    bool m_caretOn = false;
};
