#pragma once
#include "Main/FileEraser/SortSelectBgView.h"

#include <QWidget>

#include <memory>

namespace Ui { class FormatTypeViewController; }

class FormatTypeVCDelegate
{
public:
    virtual ~FormatTypeVCDelegate() = default;
    // true: the pointer left the menu; false: it entered.
    virtual void mouseEixtView(bool /*exited*/) {}
    virtual void selectFormatbyType(int /*type*/) {}
};

// The format dialog's drop-down of file-system types.
class FormatTypeViewController : public QWidget, public SortSelectBgViewDelegate
{
    Q_OBJECT
public:
    explicit FormatTypeViewController(QWidget* parent = nullptr);
    ~FormatTypeViewController() override;

    // The entries by their integer: "ExFAT", "MS-DOS FAT32", "Journaled HFS+".
    static QString typeText(int type);

    void setDelegate(FormatTypeVCDelegate* delegate) { m_delegate = delegate; }
    void selectSortType(SortSelectBgView* row) override;
    SortSelectBgView* row(int type) const;  // 0, 1, 2
    // Whether this system can make the type; "Journaled HFS+" needs
    // mkfs.hfsplus, which Debian does not ship. The reason when it cannot.
    static QString whyNot(int type);

    // The keyboard's choice: moves the highlight over the types that can
    // be made, starting from `type` when none is highlighted yet.
    void moveHighlight(int step, int fromType);
    int highlightedType() const { return m_highlighted; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::unique_ptr<Ui::FormatTypeViewController> ui;
    FormatTypeVCDelegate* m_delegate = nullptr;
    int m_highlighted = -1;
};
