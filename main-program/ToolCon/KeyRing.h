#pragma once
#include <QWidget>

// The ring drawn round whatever has the keyboard (a control, a list's row),
// in one colour everywhere. It lies over what it rings and never takes the
// pointer or the keyboard; its owner places and shows it.
class KeyRing : public QWidget
{
    Q_OBJECT
public:
    explicit KeyRing(QWidget* parent, qreal radius = 4);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_radius;
};
