#pragma once
#include <QWidget>

// The navigation column: a gradient from 39,39,48 at the bottom to 50,50,62 at the top.
class MainLeftBgView : public QWidget
{
public:
    explicit MainLeftBgView(QWidget* parent = nullptr) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The dark panel (50,50,62) behind the tools.
class RightBgView : public QWidget
{
public:
    explicit RightBgView(QWidget* parent = nullptr) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};
