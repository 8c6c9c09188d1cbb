#include "WipeDisk/MakeSureWipeDiskViewController.h"

#include "ui_MakeSureWipeDiskViewController.h"

MakeSureWipeDiskViewController::MakeSureWipeDiskViewController(QWidget* parent) : MakeSureDialog(parent), ui(std::make_unique<Ui::MakeSureWipeDiskViewController>())
{
    ui->setupUi(this);
    setUpButtons(ui->okButton, ui->noButton);
}

MakeSureWipeDiskViewController::~MakeSureWipeDiskViewController() = default;

void MakeSureWipeDiskViewController::tellDelegate()
{
    if (m_delegate)
        m_delegate->makeSureToWipeSelectVolume();
}

TextImageButton* MakeSureWipeDiskViewController::okButton() const { return ui->okButton; }
TextImageButton* MakeSureWipeDiskViewController::noButton() const { return ui->noButton; }
