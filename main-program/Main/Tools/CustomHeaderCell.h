#pragma once
#include <QHeaderView>
#include <QVector>

// The flat dark header shared by the program's tables and outlines. A pressed
// header looks like a resting one. Each section keeps a sort state; the
// triangle shows only for a section of priority 0.
class CustomHeaderCell : public QHeaderView
{
    Q_OBJECT
public:
    explicit CustomHeaderCell(QWidget* parent = nullptr);

    void setSortAscending(int section, bool ascending, qint64 priority);
    bool isAscending(int section) const;
    qint64 priority(int section) const;
    // How far in from its section's left edge a title starts: a list whose
    // cells indent their text indents its header to match.
    void setTitleInset(int inset) { m_titleInset = inset; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    struct SortState
    {
        bool ascending = true;
        qint64 priority = 1;
    };
    SortState stateOf(int section) const;

    QVector<SortState> m_sort;
    int m_titleInset = 0;
};
