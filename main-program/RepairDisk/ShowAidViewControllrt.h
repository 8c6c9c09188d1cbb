#pragma once
#include "PopWindow/PanelController.h"

#include <QStringList>

#include <memory>

class AidProgress;
class QLabel;
class QTableWidget;
class TextImageButton;
namespace Ui { class ShowAidViewControllrt; }

class ShowAidVCDelegate
{
public:
    virtual ~ShowAidVCDelegate() = default;
    virtual void closeShowAidWindow() {}
};

// First Aid's progress dialog: the checker's output, one row per line as it
// comes, a bar that advances per line, and Complete once the checker ended.
class ShowAidViewControllrt : public PanelController
{
    Q_OBJECT
public:
    explicit ShowAidViewControllrt(QWidget* parent = nullptr);
    ~ShowAidViewControllrt() override;

    void setDelegate(ShowAidVCDelegate* delegate) { m_delegate = delegate; }

    // One line of output; a last line feed is not shown.
    void changeShowOutPut(const QString& text);
    // The number of lines so far: 5 % each, at most 99 % until the end.
    void setProgressValue(float value);
    // The checker ended: its standard error becomes rows too, a failure says
    // so, the bar fills and Complete becomes available.
    void finishWithStatus(int exitCode, const QString& errors);
    void completeButAction();
    void closeWindow() { closePanel(); }

    // The row height for `text` in the output table.
    static int rowHeightFor(const QString& text);

    const QStringList& allShowStrArr() const { return m_allShowStrArr; }
    bool isFinished() const { return m_finished; }
    bool failed() const { return m_failed; }
    AidProgress* progress() const;
    TextImageButton* completeBut() const;
    QTableWidget* showTableView() const;
    QLabel* nodeLabel() const;

private:
    void addRow(const QString& text);

    std::unique_ptr<Ui::ShowAidViewControllrt> ui;
    ShowAidVCDelegate* m_delegate = nullptr;
    QStringList m_allShowStrArr;
    bool m_finished = false;
    bool m_failed = false;
};
