#pragma once
#include <QWidget>

class QAbstractButton;

// The plain dark background of the end views. An end view takes the
// keyboard when it shows, so Return leaves it as its button does.
class EndBgView : public QWidget
{
    Q_OBJECT
public:
    explicit EndBgView(QWidget* parent = nullptr);

    // What Return presses: the focused button of the view, else its last
    // enabled button (the titled one; the arrow before it does the same).
    QAbstractButton* returnButton() const;
    bool onView() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void takeFocusWhenOnView();
};
