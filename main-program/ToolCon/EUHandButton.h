#pragma once
#include <QPushButton>

// A link button: the pointer turns into a pointing hand over it.
class EUHandButton : public QPushButton
{
    Q_OBJECT
public:
    explicit EUHandButton(QWidget* parent = nullptr);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};
