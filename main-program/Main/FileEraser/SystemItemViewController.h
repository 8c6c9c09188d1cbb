#pragma once
#include "PopWindow/PanelController.h"

#include <memory>

class QLabel;
class TextImageButton;
namespace Ui { class SystemItemViewController; }

// The notice that a chosen item belongs to the system and was not added,
// nor anything chosen after it.
class SystemItemViewController : public PanelController
{
    Q_OBJECT
public:
    explicit SystemItemViewController(QWidget* parent = nullptr);
    ~SystemItemViewController() override;

    void setPath(const QString& path);
    void okButtonAction() { closePanel(); }

    TextImageButton* okButton() const;
    QLabel* nodeLabel() const;

private:
    std::unique_ptr<Ui::SystemItemViewController> ui;
};
