#pragma once
#include "Main/FileEraser/Engine/RemoveFileAndFolder.h"

#include <QDialog>

#include <memory>

namespace Ui {
class EraserWC;
}
class QLabel;
class QProgressBar;
class QWidget;

// The launcher's own erase window: one item handed over by a file manager,
// erased at once with the user's own level, then a failure or success page
// whose OK ends the launcher.
class EraserWC : public QDialog, public RemoveFileAndFolderDelegate
{
    Q_OBJECT
public:
    // `toolPath` empty: the srm beside the launcher.
    explicit EraserWC(QString toolPath = QString(), QWidget* parent = nullptr);
    ~EraserWC() override;

    // Builds the item and starts the run; called once, after the window shows.
    void eumeFileWithPath(const QString& path);
    void addFileToArr(const QString& path, bool isDir);
    void beginRemove();

    void removeProgress(float percent, const QString& path, int index) override;
    void haveFailEraser() override;
    void removeObjEnd(const FileObjList& processed) override;
    void showEndView();

    bool isRunning() const { return m_running; }
    // The failure page's text for a run that was not cancelled: each item
    // left, with why (a few of them for many), in the singular for one.
    static QString failureText(const FileObjList& processed);

public slots:
    void cancelButtonAction();
    void failOkButtonAction();
    void successOkButtonAction();
    // Closing by the title bar or Escape: during a run it cancels the run and
    // the window ends once the run has.
    void reject() override;

private:
    void showPage(QWidget* page);

    std::unique_ptr<Ui::EraserWC> ui;
    QString m_toolPath;
    FileObjList valueArr;
    FileObjList m_processed;
    std::unique_ptr<RemoveFileAndFolder> removeFileAndFolder;
    bool isHaveFail = false;
    bool isCancel = false;
    bool m_running = false;
    bool m_closeWhenEnded = false;

    QProgressBar* readyPro = nullptr;
    QWidget* ReadyView = nullptr;
    QWidget* progressView = nullptr;
    QWidget* failView = nullptr;
    QWidget* successView = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* eraserPathLabel = nullptr;
    QLabel* failLabel = nullptr;
};
