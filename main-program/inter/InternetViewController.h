#pragma once
#include "Main/MainWindowTool.h"
#include "inter/BrowerObj.h"
#include "inter/BrowserData.h"
#include "inter/CloseBrowerViewController.h"

#include <QHash>
#include <QList>
#include <QWidget>

#include <functional>
#include <memory>

class BroTableView;
class BrowserListModel;
class BrowerButtonCell;
class BrowerImageAndTextCell;
class TextImageButton;
class TCImageButton;
class QLabel;
namespace Ui { class InternetViewController; }

// The Internet Cleanup page: start view, scan, the browser and category
// lists, the clean and its end view.
class InternetViewController : public QWidget, public MainWindowTool, public CloseBrowerVCDelegate
{
    Q_OBJECT
public:
    // What the page works on; tests give their own.
    struct Environment
    {
        BrowserUser user = BrowserUser::invoking();
        // The desktop-entry roots; empty for CommUti::applicationPaths().
        QStringList applicationRoots;
        // EraserHistory.plist; empty for the installed one.
        QString eraserHistoryPath;
        // How long a browser is given to quit once asked.
        int closeTimeoutMs = 15000;
        // Asks whether `browsers` may be closed; true for "Close". Empty runs
        // the close dialog.
        std::function<bool(const QStringList& browsers)> askToClose;
    };

    explicit InternetViewController(QWidget* parent = nullptr);
    explicit InternetViewController(Environment environment, QWidget* parent = nullptr);
    ~InternetViewController() override;

    QWidget* toolView() override { return this; }

    void checkOpenBrower();
    void getBrowserArr();
    // Linux has no folder-access grant to wait for: always granted.
    int getAuthorizationStatus() const { return 2; }
    void backHomeButtonAction();
    void cleanButtonAction();
    void closeBrowerButtonAction() override { m_isClose = true; }
    void cleanEndBackHomeButtonAction();
    void selectBrower(BroTableView* list);
    void changeCleanButtonState();
    void changeDetail();
    // A click on a row of either list (its highlight, and the shown browser).
    void selectRow(BroTableView* list, int row);

    const BrowerObjList& browserArr() const { return m_browserArr; }
    int broSelectIndex() const { return m_broSelectIndex; }
    BroTableView* leftTableView() const;
    BroTableView* rightTableView() const;
    TextImageButton* cleanButton() const;
    QWidget* scanNodeView() const;
    QWidget* detailBGView() const;
    QWidget* cleanEndView() const;
    QWidget* loadAnView() const;
    QLabel* nameLabel() const;
    QLabel* cleanEndNote() const;
    bool busy() const { return m_busy; }

signals:
    void scanFinished();
    void cleanFinished();

private:
    void setUpButtons();
    void setUpLists();
    void reloadLists();
    void showLoading(const QString& text);
    // The start view with its Scan button, on top of the loading view.
    void showStartView();
    void slide(QWidget* page, int x, std::function<void()> done = {});
    // Asks about `names`; true when they may be closed.
    bool askToClose(const QStringList& names);
    void cleanBrowerFiles(bool closeFirst);
    // Names what of `attempted` was not found or not cleaned.
    void showEndView(const BrowerObjList& attempted);
    void willDisplayButton(BrowerButtonCell* cell, const QString& column, int row);
    void willDisplayText(BrowerImageAndTextCell* cell, const QString& column, int row);

    std::unique_ptr<Ui::InternetViewController> ui;
    Environment m_env;
    BrowserData m_data;
    TextImageButton* m_scanButton = nullptr;
    BrowserListModel* m_browserModel = nullptr;
    BrowserListModel* m_categoryModel = nullptr;
    BrowerObjList m_browserArr;
    int m_broSelectIndex = 0;
    QList<pid_t> m_allOpenId;
    // The running main processes of each ticked browser, for the clean.
    QHash<const BrowerObj*, QList<pid_t>> m_openByBrowser;
    bool m_isClose = false;
    bool m_busy = false;
};
