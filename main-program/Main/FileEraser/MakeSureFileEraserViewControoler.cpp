#include "Main/FileEraser/MakeSureFileEraserViewControoler.h"

#include "ui_MakeSureFileEraserViewControoler.h"

MakeSureFileEraserViewControoler::MakeSureFileEraserViewControoler(QWidget* parent)
    : MakeSureDialog(parent), ui(std::make_unique<Ui::MakeSureFileEraserViewControoler>())
{
    ui->setupUi(this);
    setUpButtons(ui->okButton, ui->noButton);
}

MakeSureFileEraserViewControoler::~MakeSureFileEraserViewControoler() = default;

void MakeSureFileEraserViewControoler::tellDelegate()
{
    if (m_delegate)
        m_delegate->makeSureToEraserSelectFiles();
}

TextImageButton* MakeSureFileEraserViewControoler::okButton() const { return ui->okButton; }
TextImageButton* MakeSureFileEraserViewControoler::noButton() const { return ui->noButton; }
