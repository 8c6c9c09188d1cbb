#include "inter/CloseBrowerViewController.h"

#include "ToolCon/TextImageButton.h"
#include "ui_CloseBrowerViewController.h"

namespace {

void setUp(TextImageButton* button, const QString& stem, const QString& text)
{
    button->setImageFromFileNormalName(stem + "_normal", stem + "_press", stem + "_hover", stem + "_disable");
    button->setTextWithName(text, 14);
    button->setButtonEnabled(true);
}

}  // namespace

CloseBrowerViewController::CloseBrowerViewController(QWidget* parent)
    : PanelController(parent), ui(std::make_unique<Ui::CloseBrowerViewController>())
{
    ui->setupUi(this);
    setUp(ui->cancelButton, QStringLiteral("btn_secl"), QStringLiteral("Cancel"));
    setUp(ui->closeButton, QStringLiteral("btn_pril"), QStringLiteral("Close"));
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
