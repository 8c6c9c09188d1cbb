#pragma once
#include <QWidget>

class SortSelectBgView;

class SortSelectBgViewDelegate
{
public:
    virtual ~SortSelectBgViewDelegate() = default;
    virtual void selectSortType(SortSelectBgView* /*row*/) {}
};

// One clickable row of a pop-over menu: highlighted while the pointer is in
// it, reports a press to its delegate. What it stands for is its
// "identifier" property, set in the interface file.
class SortSelectBgView : public QWidget
{
    Q_OBJECT
public:
    explicit SortSelectBgView(QWidget* parent = nullptr);

    QString identifier() const { return property("identifier").toString(); }
    bool isMouseIn() const { return m_isMouseIn; }
    // Highlights the row as the pointer does, for a choice made by keys.
    void setHighlighted(bool on);
    void setDelegate(SortSelectBgViewDelegate* delegate) { m_delegate = delegate; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_isMouseIn = false;
    SortSelectBgViewDelegate* m_delegate = nullptr;
};
