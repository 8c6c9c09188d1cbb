#include "inter/CloseBrowerViewController.h"

#include "ToolCon/TextImageButton.h"
#include "ui_CloseBrowerViewController.h"

namespace {

void setUp(TextImageButton* button, const QStringList& images, const QString& text)
{
    button->setImageFromFileNormalName(images.value(0), images.value(1), images.value(2), images.value(3));
    button->setTextWithName(text, 14);
    button->setButtonEnabled(true);
}

}  // namespace

CloseBrowerViewController::CloseBrowerViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::CloseBrowerViewController>())
{
    ui->setupUi(this);
    setUp(ui->cancelButton, {"btn_secl_normal", "btn_secl_press", "btn_secl_hover", "btn_secl_disable"},
          QStringLiteral("Cancel"));
    setUp(ui->closeButton, {"btn_pril_normal", "btn_pril_press", "btn_pril_hover", "btn_pril_disable"},
          QStringLiteral("Close"));
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
