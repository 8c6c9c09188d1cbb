#pragma once
#include "Main/TabBarView.h"
#include "PopWindow/PanelController.h"

#include <memory>

class ProgressView;
class TextImageButton;
namespace Ui { class UninstallProgressViewController; }

// The removal's progress panel: a title bar with its close button, a bar
// and what is being removed, then the end message and OK. Closing it early
// leaves the removal running; the screen's list changes only once it ends.
class UninstallProgressViewController : public PanelController, public TabBarVDelegate
{
    Q_OBJECT
public:
    explicit UninstallProgressViewController(QWidget* parent = nullptr);
    ~UninstallProgressViewController() override;

    // From 100 on the end view replaces the progress view.
    void changeProgressValue(int percent, const QString& path);
    void changeLabel(const QString& message);
    // What the remover is working on, until the end view shows.
    void showWorking(const QString& what);
    void okButtonAction();
    void closeWindowAction() override;

    ProgressView* progressBar() const;
    QString pathText() const;
    QString messageText() const;
    bool endShown() const;
    TextImageButton* okButton() const;
    TabBarView* tabBarView() const;

private:
    std::unique_ptr<Ui::UninstallProgressViewController> ui;
    ProgressView* m_progressBar = nullptr;
};
