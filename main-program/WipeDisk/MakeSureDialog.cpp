#include "WipeDisk/MakeSureDialog.h"

#include "WipeDisk/DialogStyle.h"

#include "ToolCon/TextImageButton.h"

void MakeSureDialog::setUpButtons(TextImageButton* okButton, TextImageButton* noButton)
{
    DialogStyle::setUpButton(okButton, {"btn_pril_normal", "btn_pril_press", "btn_pril_hover", "btn_pril_disable"},
                             QStringLiteral("Continue"), 14);
    DialogStyle::setUpButton(noButton, {"btn_secl_normal", "btn_secl_press", "btn_secl_hover", "btn_secl_disable"},
                             QStringLiteral("Cancel"), 14);
    connect(okButton, &QAbstractButton::clicked, this, &MakeSureDialog::okButtonAction);
    connect(noButton, &QAbstractButton::clicked, this, &MakeSureDialog::noButtonAction);
}

void MakeSureDialog::okButtonAction()
{
    tellDelegate();
    closeWindow();
}

void MakeSureDialog::noButtonAction()
{
    closeWindow();
}

void MakeSureDialog::closeWindow()
{
    closePanel();
}
