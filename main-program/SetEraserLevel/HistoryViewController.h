#pragma once
#include "SetEraserLevel/DoDataBase.h"
#include "SetEraserLevel/HistoryCells.h"

#include <QPersistentModelIndex>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class EUCustomOutlineView;
class QAbstractButton;
class QStandardItemModel;
class SidePanelSlot;
class TextImageButton;
namespace Ui {
class HistoryViewController;
}

class HistoryVCDelegate
{
public:
    virtual ~HistoryVCDelegate() = default;
    virtual void closeHistoryView() {}
};

// The erasure history: every run newest first, each under its key. A run
// can be deleted or exported; "Empty All" deletes them all.
class HistoryViewController : public QWidget, public HistoryDeleteTextFieldCellDelegate
{
    Q_OBJECT
public:
    // `store` defaults to the shared one.
    explicit HistoryViewController(QWidget* parent = nullptr, DoDataBase* store = nullptr);
    ~HistoryViewController() override;

    // What a tool does to show its history: a fresh screen in `slot`, loaded
    // and slid in. The host clears its history flag first and dismisses the
    // slot on closeHistoryView().
    static HistoryViewController* presentIn(SidePanelSlot& slot, HistoryVCDelegate* host, const QString& typeStr,
                                            DoDataBase* store = nullptr);

    void getEraserHistory();
    void emptyAllButtonAction();
    void closeButtonAction();
    void clickDeleteWithDate(const QString& date) override;
    void clickExportWithDate(const QString& date) override;
    void getHistorySavePath();
    // False when the page could not be written (the reason is logged and in `error`).
    bool writeHTML(const QString& path, QString* error = nullptr) const;

    void setTypeStr(const QString& type) { typeStr = type; }
    void setDelegate(HistoryVCDelegate* delegate) { m_delegate = delegate; }
    HistoryVCDelegate* delegate() const { return m_delegate; }

    HistoryRuns HistoryDic;
    QStringList historyAllArr;
    // The run the icons act on; always one that exists (empty with no runs).
    QString keyClickStr;
    // The shown row (counted among the visible rows) last clicked; highlighted.
    int selectCellIndex = -1;
    QString typeStr;

    EUCustomOutlineView* historyOutlineView() const;
    TextImageButton* emptyAllButton() const;
    TextImageButton* closeButton() const;
    TextImageButton* noCloseButton() const;
    QWidget* haveView() const;
    QWidget* noView() const;
    HistoryDeleteTextFieldCell* stateCell() const { return m_stateCell; }
    // The keyboard's way to the shown run's export and trash icons: Tab
    // stops laid over them, pressed by Space or Return.
    QAbstractButton* exportKey() const { return m_exportKey; }
    QAbstractButton* deleteKey() const { return m_deleteKey; }

protected:
    // Escape closes the panel as its close button does.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rowClicked(const QModelIndex& index);
    void rebuildModel();
    void placeIconKeys();

    std::unique_ptr<Ui::HistoryViewController> ui;
    DoDataBase* m_store;
    HistoryVCDelegate* m_delegate = nullptr;
    QStandardItemModel* m_model;
    HistoryDeleteTextFieldCell* m_stateCell;
    QAbstractButton* m_exportKey = nullptr;
    QAbstractButton* m_deleteKey = nullptr;
};
