#pragma once
#include "PopWindow/PanelController.h"

#include <memory>

class TextImageButton;
namespace Ui {
class ExportViewController;
}

// Tells that an export has finished, or why it failed; "OK" closes the
// panel it is shown in.
// Opened with runModalPanel(new ExportViewController, mainWindow).
class ExportViewController : public PanelController
{
    Q_OBJECT
public:
    explicit ExportViewController(QWidget* parent = nullptr);
    ~ExportViewController() override;

    void closeWindow();
    // In place of the finished text: what went wrong.
    void setMessage(const QString& text);

    TextImageButton* closeButton() const;
    QString message() const;

private:
    std::unique_ptr<Ui::ExportViewController> ui;
};
