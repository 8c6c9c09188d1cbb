#include "WipeDisk/MakeSureWipeFreeSpaceViewController.h"

#include "ui_MakeSureWipeFreeSpaceViewController.h"

MakeSureWipeFreeSpaceViewController::MakeSureWipeFreeSpaceViewController(QWidget* parent) : MakeSureDialog(parent), ui(std::make_unique<Ui::MakeSureWipeFreeSpaceViewController>())
{
    ui->setupUi(this);
    setUpButtons(ui->okButton, ui->noButton);
}

MakeSureWipeFreeSpaceViewController::~MakeSureWipeFreeSpaceViewController() = default;

void MakeSureWipeFreeSpaceViewController::tellDelegate()
{
    if (m_delegate)
        m_delegate->makeSureToWipeFreeSpaceSelectVolume();
}

TextImageButton* MakeSureWipeFreeSpaceViewController::okButton() const { return ui->okButton; }
TextImageButton* MakeSureWipeFreeSpaceViewController::noButton() const { return ui->noButton; }
