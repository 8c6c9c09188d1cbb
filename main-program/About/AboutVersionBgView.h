#pragma once
#include <QColor>
#include <QWidget>

// A rounded (radius 4) tint behind a group of texts.
class RoundedTintView : public QWidget
{
public:
    RoundedTintView(QColor tint, QWidget* parent) : QWidget(parent), m_tint(tint) {}

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tint;
};

// Behind the version text of About.
class AboutVersionBgView : public RoundedTintView
{
public:
    explicit AboutVersionBgView(QWidget* parent = nullptr);
};

// Behind the update dialog's list of what is new.
class UpdateScBgView : public RoundedTintView
{
public:
    explicit UpdateScBgView(QWidget* parent = nullptr);
};
