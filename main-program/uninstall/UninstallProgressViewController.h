#pragma once
#include "PopWindow/PanelController.h"

#include <memory>

class ProgressView;
class TextImageButton;
namespace Ui { class UninstallProgressViewController; }

// The removal's progress panel: a bar and the path just handled, then the
// end message and OK. It can be dismissed only at the end, so the list is
// never changed while records are still being removed.
class UninstallProgressViewController : public PanelController
{
    Q_OBJECT
public:
    explicit UninstallProgressViewController(QWidget* parent = nullptr);
    ~UninstallProgressViewController() override;

    // From 100 on the end view replaces the progress view.
    void changeProgressValue(int percent, const QString& path);
    void changeLabel(const QString& message);
    void okButtonAction();

    ProgressView* progressBar() const;
    QString pathText() const;
    QString messageText() const;
    bool endShown() const;
    TextImageButton* okButton() const;

private:
    std::unique_ptr<Ui::UninstallProgressViewController> ui;
};
