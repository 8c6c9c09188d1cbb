#include "uninstall/UninstallProgressViewController.h"

#include "Main/TabBarView.h"
#include "ProgressView/ProgressView.h"
#include "ProgressView/RFOverlayScroller.h"
#include "ToolCon/TextImageButton.h"
#include "ui_UninstallProgressViewController.h"

UninstallProgressViewController::UninstallProgressViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::UninstallProgressViewController>())
{
    ui->setupUi(this);
    ui->okButton->setImageFromFileNormalName(QStringLiteral("btn_pril_normal"), QStringLiteral("btn_pril_press"),
                                             QStringLiteral("btn_pril_hover"), QStringLiteral("btn_pril_disable"));
    ui->okButton->setButtonEnabled(true);
    ui->okButton->setTextWithName(QStringLiteral("OK"), 14);
    connect(ui->okButton, &QAbstractButton::clicked, this, &UninstallProgressViewController::okButtonAction);
    ui->tabBarView->delegate = this;
    m_progressBar = new ProgressView(ui->progressView);
    m_progressBar->setGeometry(32, 118, 496, 4);
    m_progressBar->setFocusPolicy(Qt::NoFocus);
    m_progressBar->changeProgressValue(0);
    m_progressBar->show();
    ui->endView->hide();
    // A message naming many items scrolls, with the lists' own scroller.
    RFOverlayScroller::overlay(ui->messageScrollView);
    ui->messageLabel->setContentsMargins(0, 0, 12, 0);  // clear of the knob
    // The message is read, not visited: the keyboard's first stop is OK.
    ui->messageScrollView->setFocusPolicy(Qt::NoFocus);
    ui->messageLabel->setFocusPolicy(Qt::NoFocus);
}

UninstallProgressViewController::~UninstallProgressViewController() = default;

void UninstallProgressViewController::changeProgressValue(int percent, const QString& path)
{
    m_progressBar->changeProgressValue(static_cast<float>(percent));
    ui->pathLabel->setText(path);
    if (percent >= 100 && !endShown()) {
        ui->progressView->hide();
        ui->endView->show();
        // Return and Escape end the end view.
        setDefaultButton(ui->okButton);
        setCancelButton(ui->okButton);
        takeInitialFocus();
    }
}

void UninstallProgressViewController::showWorking(const QString& what)
{
    if (!endShown())
        ui->pathLabel->setText(what);
}

void UninstallProgressViewController::closeWindowAction()
{
    // The title bar's close button is OK: a removal still going on goes on,
    // and the screen takes it in when it ends.
    okButtonAction();
}

void UninstallProgressViewController::changeLabel(const QString& message)
{
    ui->messageLabel->setText(message);
}

void UninstallProgressViewController::okButtonAction()
{
    closePanel();
}

ProgressView* UninstallProgressViewController::progressBar() const { return m_progressBar; }
TabBarView* UninstallProgressViewController::tabBarView() const { return ui->tabBarView; }
QString UninstallProgressViewController::pathText() const { return ui->pathLabel->text(); }
QString UninstallProgressViewController::messageText() const { return ui->messageLabel->text(); }
bool UninstallProgressViewController::endShown() const { return !ui->endView->isHidden(); }
TextImageButton* UninstallProgressViewController::okButton() const { return ui->okButton; }
