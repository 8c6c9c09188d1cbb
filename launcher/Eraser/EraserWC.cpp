#include "Eraser/EraserWC.h"

#include "Eraser/LauncherLook.h"
#include "ui_EraserWC.h"

#include "Main/FileEraser/Engine/FolderExpansion.h"
#include "platform/Background.h"

#include <QFileInfo>
#include <QPushButton>

#include <algorithm>

EraserWC::EraserWC(QString toolPath, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::EraserWC>()), m_toolPath(std::move(toolPath))
{
    ui->setupUi(this);
    LauncherLook::apply(this);
    // Names handed over are not ours: never read as markup.
    ui->eraserPathLabel->setTextFormat(Qt::PlainText);
    ui->failLabel->setTextFormat(Qt::PlainText);
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
    // The end pages' OK holds the keyboard, as it does after a run that ended
    // by itself: the Cancel that had it is gone with its page.
    QPushButton* ok = page == failView ? ui->failOkButton : page == successView ? ui->successOkButton : nullptr;
    if (ok) {
        ok->setDefault(true);
        ok->setFocus(Qt::OtherFocusReason);
    }
}

QString EraserWC::failureText(const FileObjList& processed)
{
    QList<FileObjPtr> failed;
    for (const FileObjPtr& item : processed)
        if (item->failStr == Outcome::fail)
            failed << item;
    const auto line = [](const FileObjPtr& item) {
        const QString reason = item->failReason.isEmpty()
                                   ? QStringLiteral("the secure remover did not report it erased")
                                   : item->failReason;
        return QStringLiteral("\"%1\": %2").arg(item->url, reason);
    };
    if (failed.isEmpty())
        return QStringLiteral("Some items could not be erased.");
    if (failed.size() == 1)
        return QStringLiteral("This item could not be erased:\n%1.").arg(line(failed.first()));
    constexpr int kShown = 4;
    QStringList lines;
    for (int i = 0; i < failed.size() && i < kShown; ++i)
        lines << line(failed.at(i));
    QString text = QStringLiteral("Some items could not be erased:\n") + lines.join(QLatin1Char('\n'));
    if (failed.size() > kShown)
        text += QStringLiteral("\nand %1 more.").arg(failed.size() - kShown);
    return text;
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

void EraserWC::removeObjEnd(const FileObjList& processed)
{
    m_running = false;
    m_processed = processed;
    showEndView();
    if (m_closeWhenEnded)
        QDialog::reject();
}

void EraserWC::showEndView()
{
    if (isHaveFail || isCancel) {
        failLabel->setText(isCancel ? tr("The operation was canceled by the user.") : failureText(m_processed));
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
