#pragma once
#include "PopWindow/PanelController.h"

#include <memory>

namespace Ui {
class AboutViewController;
}
class TCImageButton;
class TextImageButton;

// About: texts from its interface file and a button to the About page.
class AboutViewController : public PanelController
{
    Q_OBJECT
public:
    explicit AboutViewController(QWidget* parent = nullptr);
    ~AboutViewController() override;

    TextImageButton* aboutButton() const;
    TCImageButton* closeButton() const;

public slots:
    void aboutButtonAction();
    void closeWindow();

private:
    std::unique_ptr<Ui::AboutViewController> ui;
};
