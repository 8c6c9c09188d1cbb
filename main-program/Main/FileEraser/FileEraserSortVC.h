#pragma once
#include "Main/FileEraser/SortChoice.h"
#include "Main/FileEraser/SortSelectBgView.h"

#include <QWidget>

#include <memory>

class QLabel;
namespace Ui { class FileEraserSortVC; }

class FileEraserSortVCDelegate
{
public:
    virtual ~FileEraserSortVCDelegate() = default;
    // true: the pointer left the pop-over; false: it entered.
    virtual void mouseEixtView(bool /*exited*/) {}
    virtual void selectSortbyType(int /*sortType*/, int /*sortAD*/) {}
};

// The sort pop-over: three key rows (name, size, a second size row) and two
// direction rows (ascending, descending).
class FileEraserSortVC : public QWidget, public SortSelectBgViewDelegate
{
    Q_OBJECT
public:
    explicit FileEraserSortVC(QWidget* parent = nullptr);
    ~FileEraserSortVC() override;

    void setDelegate(FileEraserSortVCDelegate* delegate) { m_delegate = delegate; }
    // Shows the host's current choice.
    void setSortType(int sortType, int sortAD);
    void selectSortType(SortSelectBgView* row) override;

    // By keys: one row wears the highlight; the arrows move it (wrapping),
    // and chooseKeyRow() chooses it as a click would. 0: no row yet.
    void setKeyRow(int n);
    void moveKeyRow(int delta);
    void chooseKeyRow();
    int keyRow() const { return m_keyRow; }

    int sortType() const { return m_sortType; }
    int sortAD() const { return m_sortAD; }
    SortSelectBgView* row(int n) const;   // 1..5
    QLabel* icon(int n) const;
    QLabel* label(int n) const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void markKey(int key);
    void markDirection(int direction);
    static void setLabelAlpha(QLabel* label, double alpha);

    std::unique_ptr<Ui::FileEraserSortVC> ui;
    FileEraserSortVCDelegate* m_delegate = nullptr;
    int m_sortType = SortChoice::byName;
    int m_sortAD = SortChoice::ascending;
    int m_keyRow = 0;
};
