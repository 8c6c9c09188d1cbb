#pragma once
#include "Main/Tools/CheckButtonCell.h"
#include "PopWindow/PanelController.h"
#include "uninstall/AMAppItem.h"

#include <QSet>

#include <memory>

class QStandardItem;
class QStandardItemModel;
class TextImageButton;
class CustemOutlineView;
class FocusRing;
namespace Ui { class MakeSureUninstallViewController; }

class MakeSureUninstallVCDelegate
{
public:
    virtual ~MakeSureUninstallVCDelegate() = default;
    // The removal has ended and its panel is dismissed.
    virtual void completeCleanRelatedFiles() = 0;
    // Uninstall was pressed with these records ticked, in group order;
    // `kept` are the items and proposed files the user left unticked.
    virtual void uninstallConfirmed(const AMAppItemList& ticked, const AMAppItemList& kept)
    {
        (void)ticked;
        (void)kept;
    }
};

// The checklist before a removal: one group per item (the item, then its
// related files), each record with its tick box and size. Records start
// ticked as the finder proposed; a record that cannot be removed (a package
// the system needs) cannot be ticked. The packages the package manager would
// remove with the ticked items are named under the outline. The panel may
// open before the package manager has answered: the plan then reads as
// being worked out and Uninstall stays off until planArrived().
class MakeSureUninstallViewController : public PanelController, public CheckButtonCellDelegate
{
    Q_OBJECT
public:
    explicit MakeSureUninstallViewController(QWidget* parent = nullptr);
    ~MakeSureUninstallViewController() override;

    // Before the panel is shown.
    void setAllRelaltedFiles(const QList<AMAppGroup>& groups);
    void setDelegate(MakeSureUninstallVCDelegate* delegate) { m_delegate = delegate; }

    const QList<AMAppGroup>& allRelaltedFiles() const { return m_allRelaltedFiles; }
    // The ticked records, in group order.
    AMAppItemList selectDeletePath() const;
    // The items and the files proposed for removal that are not ticked.
    AMAppItemList keptRecords() const;
    // A package's plan is still being asked.
    bool planPending() const;
    // The records' plans (`alsoRemoves`, `planBytes`, `blocked`) are in.
    void planArrived();
    bool isTicked(const AMAppItem* item) const { return m_ticked.contains(item); }

    // The tick box of a group row or a record row.
    void selectRemoveLanguage(const QModelIndex& index);
    void clickButtonAction(CheckButtonCell* cell, const QModelIndex& index) override;
    void clickedDeleteBtn();
    void clickedCancelBtn();

    // "Packages to be removed: ..." when any ticked item is a package.
    QString planText() const;
    // The size the record's row shows: a package's is its whole plan's.
    static QString sizeTextOf(const AMAppItem& item);
    TextImageButton* uninstallButton() const;
    TextImageButton* cancelButton() const;
    CustemOutlineView* outlineView() const;
    // The picture name a group's box shows: all, none or some ticked.
    QString groupPicture(int group) const;

    FocusRing* focusRing() const { return m_ring; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Ticks or unticks the record and every other row of the same package.
    void setTicked(const AMAppItem& item, bool ticked);
    void reloadOutline();
    // The plan line for the ticked records, or for every package when `all`.
    QString planLine(bool all) const;
    // Grows the panel to hold the longest plan line; never shrinks it, so
    // nothing moves under the pointer as boxes are ticked.
    void fitPlanLine();
    const AMAppGroup* groupAt(const QModelIndex& index, int* record) const;

    std::unique_ptr<Ui::MakeSureUninstallViewController> ui;
    QStandardItemModel* m_model;
    QList<AMAppGroup> m_allRelaltedFiles;
    QSet<const AMAppItem*> m_ticked;
    MakeSureUninstallVCDelegate* m_delegate = nullptr;
    FocusRing* m_ring = nullptr;
};
