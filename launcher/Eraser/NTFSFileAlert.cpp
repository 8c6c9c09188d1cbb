#include "Eraser/NTFSFileAlert.h"

#include "Eraser/LauncherLook.h"
#include "ui_NTFSFileAlert.h"

NTFSFileAlert::NTFSFileAlert(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::NTFSFileAlert>())
{
    ui->setupUi(this);
    LauncherLook::apply(this);
    connect(ui->okButton, &QPushButton::clicked, this, &NTFSFileAlert::okButtonAction);
}

NTFSFileAlert::~NTFSFileAlert() = default;

void NTFSFileAlert::okButtonAction()
{
    accept();
}
