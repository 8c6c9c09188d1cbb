#include "Eraser/EraserWC.h"

#include "Eraser/LauncherLook.h"
#include "ui_EraserWC.h"

#include "Main/FileEraser/Engine/FolderExpansion.h"
#include "platform/Background.h"

#include <QFileInfo>

#include <algorithm>

EraserWC::EraserWC(QString toolPath, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::EraserWC>()), m_toolPath(std::move(toolPath))
{
    ui->setupUi(this);
    LauncherLook::apply(this);
    readyPro = ui->readyPro;
    ReadyView = ui->ReadyView;
    progressView = ui->progressView;
    failView = ui->failView;
    successView = ui->successView;
    progressBar = ui->progressBar;
    eraserPathLabel = ui->eraserPathLabel;
    failLabel = ui->failLabel;

    connect(ui->cancelButton, &QPushButton::clicked, this, &EraserWC::cancelButtonAction);
    connect(ui->failOkButton, &QPushButton::clicked, this, &EraserWC::failOkButtonAction);
    connect(ui->successOkButton, &QPushButton::clicked, this, &EraserWC::successOkButtonAction);

    showPage(ReadyView);
    readyPro->setRange(0, 0);  // spinning
}

EraserWC::~EraserWC() = default;

void EraserWC::showPage(QWidget* page)
{
    ui->pages->setCurrentWidget(page);
}

void EraserWC::eumeFileWithPath(const QString& path)
{
    isCancel = false;
    isHaveFail = false;
    addFileToArr(path, QFileInfo(path).isDir());
    showPage(progressView);
    progressBar->setValue(2);  // never less, also while the folder is walked
    readyPro->setRange(0, 1);
    removeFileAndFolder = std::make_unique<RemoveFileAndFolder>(m_toolPath);
    removeFileAndFolder->setDelegate(this);
    beginRemove();
}

void EraserWC::addFileToArr(const QString& path, bool isDir)
{
    valueArr.append(FolderExpansion::buildFileObj(path, isDir));
}

void EraserWC::beginRemove()
{
    if (valueArr.isEmpty())
        return;
    m_running = true;
    // The walk of a large folder runs away from the window, which stays live
    // (and cancellable) meanwhile; a cancel reaches the engine before it starts.
    const FileObjList items = valueArr;
    platform::runInBackground(
        this, [items] { return FolderExpansion::buildRunList(items); },
        [this](const FileObjList& run) { removeFileAndFolder->benginToTraskWithArr(run); });
}

void EraserWC::removeProgress(float percent, const QString& path, int /*index*/)
{
    progressBar->setValue(static_cast<int>(std::max(percent, 2.0f)));
    eraserPathLabel->setText(path);
}

void EraserWC::haveFailEraser()
{
    isHaveFail = true;
}

void EraserWC::removeObjEnd(const FileObjList& /*processed*/)
{
    m_running = false;
    showEndView();
    if (m_closeWhenEnded)
        QDialog::reject();
}

void EraserWC::showEndView()
{
    if (isHaveFail || isCancel) {
        if (isCancel)
            failLabel->setText(tr("The operation was canceled by the user."));
        showPage(failView);
    } else {
        showPage(successView);
    }
}

void EraserWC::cancelButtonAction()
{
    if (!m_running || isCancel)
        return;
    isCancel = true;
    ui->cancelButton->setEnabled(false);
    removeFileAndFolder->isCancel();
}

void EraserWC::failOkButtonAction()
{
    accept();
}

void EraserWC::successOkButtonAction()
{
    accept();
}

void EraserWC::reject()
{
    if (m_running) {
        m_closeWhenEnded = true;
        cancelButtonAction();
        return;
    }
    QDialog::reject();
}
