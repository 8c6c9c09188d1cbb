#pragma once
#include <QTreeView>

// Declares nothing; kept so owners can name what they adopt.
class CustemOutlineViewDelegate
{
public:
    virtual ~CustemOutlineViewDelegate() = default;
};

// An outline with the flat dark header and no row bars.
class CustemOutlineView : public QTreeView
{
    Q_OBJECT
public:
    static constexpr int kHeaderHeight = 26;

    explicit CustemOutlineView(QWidget* parent = nullptr);

    void setupHeaderCell();
    void setRowNum(int row) { m_rowNum = row; }
    int rowNum() const { return m_rowNum; }
    void setListDelegate(CustemOutlineViewDelegate* delegate) { m_listDelegate = delegate; }
    CustemOutlineViewDelegate* listDelegate() const { return m_listDelegate; }

private:
    int m_rowNum = -1;
    CustemOutlineViewDelegate* m_listDelegate = nullptr;
};
