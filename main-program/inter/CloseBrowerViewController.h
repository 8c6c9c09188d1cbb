#pragma once
#include "PopWindow/PanelController.h"

#include <memory>

class TextImageButton;
class QLabel;
namespace Ui { class CloseBrowerViewController; }

class CloseBrowerVCDelegate
{
public:
    virtual ~CloseBrowerVCDelegate() = default;
    virtual void closeBrowerButtonAction() {}
};

// Asks whether the running browsers may be closed before the scan or clean.
class CloseBrowerViewController : public PanelController
{
    Q_OBJECT
public:
    explicit CloseBrowerViewController(QWidget* parent = nullptr);
    ~CloseBrowerViewController() override;

    CloseBrowerVCDelegate* delegate() const { return m_delegate; }
    void setDelegate(CloseBrowerVCDelegate* delegate) { m_delegate = delegate; }
    // Names the browsers that will be closed.
    void setBrowserNames(const QStringList& names);

    void cancelButtonAction();
    // Closes the panel first, then tells the delegate.
    void closeButtonAction();
    void closeWindow() { closePanel(); }

    TextImageButton* cancelButton() const;
    TextImageButton* closeButton() const;
    QLabel* noteLabel() const;

private:
    std::unique_ptr<Ui::CloseBrowerViewController> ui;
    CloseBrowerVCDelegate* m_delegate = nullptr;
};
