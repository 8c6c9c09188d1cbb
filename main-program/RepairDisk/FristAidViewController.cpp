#include "RepairDisk/FristAidViewController.h"

#include "Comm/FontCache.h"
#include "ToolCon/TextImageButton.h"
#include "ui_FristAidViewController.h"

FristAidViewController::FristAidViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::FristAidViewController>())
{
    ui->setupUi(this);
    ui->cancelBut->setImageFromFileNormalName(QStringLiteral("btn_secl_normal"), QStringLiteral("btn_secl_press"),
                                              QStringLiteral("btn_secl_hover"), QStringLiteral("btn_secl_disable"));
    ui->cancelBut->setButtonEnabled(true);
    ui->cancelBut->setTextWithName(QStringLiteral("Cancel"), 12);
    ui->repairBut->setImageFromFileNormalName(QStringLiteral("btn_pril_normal"), QStringLiteral("btn_pril_press"),
                                              QStringLiteral("btn_pril_hover"), QStringLiteral("btn_pril_disable"));
    ui->repairBut->setButtonEnabled(true);
    ui->repairBut->setTextWithName(QStringLiteral("Run"), 12);
    // Escape cancels, and the keyboard starts on Cancel: a repair is never
    // one stray Return away.
    setDefaultButton(ui->cancelBut);
    setCancelButton(ui->cancelBut);
    ui->topLabel->setFont(FontCache::regularFont(FontCache::kDialogTitleSize));
    connect(ui->cancelBut, &QAbstractButton::clicked, this, &FristAidViewController::closeWindow);
    connect(ui->repairBut, &QAbstractButton::clicked, this, &FristAidViewController::repaireButAction);
    connect(ui->checkBut, &QAbstractButton::clicked, this, &FristAidViewController::checkButAction);
}

FristAidViewController::~FristAidViewController() = default;

void FristAidViewController::changeAidDiskName(const QString& name)
{
    ui->topLabel->setTextFormat(Qt::PlainText);
    ui->topLabel->setText(QStringLiteral("Run First Aid on '%1'?").arg(name));
}

void FristAidViewController::closeWindow() { closePanel(); }

void FristAidViewController::checkButAction()
{
    closePanel();
    if (m_delegate)
        m_delegate->checkDiskAction();
}

void FristAidViewController::repaireButAction()
{
    closePanel();
    if (m_delegate)
        m_delegate->repairDiskAction();
}

TextImageButton* FristAidViewController::cancelBut() const { return ui->cancelBut; }
TextImageButton* FristAidViewController::repairBut() const { return ui->repairBut; }
QAbstractButton* FristAidViewController::checkBut() const { return ui->checkBut; }
QLabel* FristAidViewController::topLabel() const { return ui->topLabel; }
