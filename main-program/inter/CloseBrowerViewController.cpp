#include "inter/CloseBrowerViewController.h"

#include "ToolCon/ButtonSetUp.h"
#include "ToolCon/TextImageButton.h"
#include "ui_CloseBrowerViewController.h"

CloseBrowerViewController::CloseBrowerViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::CloseBrowerViewController>())
{
    ui->setupUi(this);
    setUpTextButton(ui->cancelButton, {"btn_secl_normal", "btn_secl_press", "btn_secl_hover", "btn_secl_disable"},
          QStringLiteral("Cancel"), 14);
    setUpTextButton(ui->closeButton, {"btn_pril_normal", "btn_pril_press", "btn_pril_hover", "btn_pril_disable"},
          QStringLiteral("Close"), 14);
    setCancelButton(ui->cancelButton);
    // Browser names come from desktop entries: never read as markup.
    ui->noteLabel->setTextFormat(Qt::PlainText);
    connect(ui->cancelButton, &QAbstractButton::clicked, this, &CloseBrowerViewController::cancelButtonAction);
    connect(ui->closeButton, &QAbstractButton::clicked, this, &CloseBrowerViewController::closeButtonAction);
}

CloseBrowerViewController::~CloseBrowerViewController() = default;

void CloseBrowerViewController::setBrowserNames(const QStringList& names)
{
    ui->noteLabel->setText(tr("%1 must be closed before its data can be cleaned. Unsaved work in it may be lost.")
                               .arg(names.join(QStringLiteral(", "))));
}

void CloseBrowerViewController::cancelButtonAction() { closeWindow(); }

void CloseBrowerViewController::closeButtonAction()
{
    closeWindow();
    if (m_delegate)
        m_delegate->closeBrowerButtonAction();
}

TextImageButton* CloseBrowerViewController::cancelButton() const { return ui->cancelButton; }
TextImageButton* CloseBrowerViewController::closeButton() const { return ui->closeButton; }
QLabel* CloseBrowerViewController::noteLabel() const { return ui->noteLabel; }
