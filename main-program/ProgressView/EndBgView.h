#pragma once
#include <QWidget>

// The plain dark background of the end views.
class EndBgView : public QWidget
{
    Q_OBJECT
public:
    explicit EndBgView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
