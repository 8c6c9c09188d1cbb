#pragma once
#include <QWidget>

// The search field's rounded, faint dark background.
class TextFiledBgView : public QWidget
{
    Q_OBJECT
public:
    explicit TextFiledBgView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
