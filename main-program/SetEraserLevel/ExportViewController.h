#pragma once
#include "PopWindow/PanelController.h"

#include <memory>

class TextImageButton;
namespace Ui {
class ExportViewController;
}

// Tells that an export has finished; "OK" closes the panel it is shown in.
// Opened with runModalPanel(new ExportViewController, mainWindow).
class ExportViewController : public PanelController
{
    Q_OBJECT
public:
    explicit ExportViewController(QWidget* parent = nullptr);
    ~ExportViewController() override;

    void closeWindow();

    TextImageButton* closeButton() const;

private:
    std::unique_ptr<Ui::ExportViewController> ui;
};
