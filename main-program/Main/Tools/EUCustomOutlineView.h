#pragma once
#include <QTreeView>
#include <QVariantList>

// An outline with a rounded bar under every visible row and a darker bar
// under the row `isSelectRow`, counted among the visible rows.
class EUCustomOutlineView : public QTreeView
{
    Q_OBJECT
public:
    explicit EUCustomOutlineView(QWidget* parent = nullptr);

    // Stores the highlighted row; the owner redraws.
    void setSelectCellBackgroundColorWithRow(int row) { m_isSelectRow = row; }
    void setIsSelectRow(int row) { m_isSelectRow = row; }
    int isSelectRow() const { return m_isSelectRow; }
    void setIsRootArr(const QVariantList& roots) { m_isRootArr = roots; }
    QVariantList isRootArr() const { return m_isRootArr; }

    // The index of `index` among the rows currently shown.
    int visibleRow(const QModelIndex& index) const;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_isSelectRow = -1;
    QVariantList m_isRootArr;
};
