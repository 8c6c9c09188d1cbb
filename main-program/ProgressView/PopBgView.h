#pragma once
#include <QWidget>

// A faint rounded box behind a group of controls in the dialog panels.
class PopBgView : public QWidget
{
    Q_OBJECT
public:
    explicit PopBgView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
