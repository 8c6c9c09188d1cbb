#pragma once
#include "PopWindow/PanelController.h"

#include <memory>

class QLabel;
class TextImageButton;
namespace Ui { class MakeSureDialog; }

// Every "Continue" / "Cancel" confirmation: a title, a question, and the two
// buttons. The named confirmations differ only in their texts and in whom
// "Continue" tells; they close their panel (`superDelegate`) the same way.
class MakeSureDialog : public PanelController
{
    Q_OBJECT
public:
    MakeSureDialog(const QString& title, const QString& body, QWidget* parent = nullptr);
    ~MakeSureDialog() override;

    // "Continue": tells the delegate first, then closes, so the job starts
    // while the modal run is still on.
    void okButtonAction();
    // "Cancel": only closes.
    void noButtonAction();
    void closeWindow();

    // Names the volume the dialog is about, above the question.
    void setVolume(const QString& name, const QString& device);

    TextImageButton* okButton() const;
    TextImageButton* noButton() const;
    QLabel* titleLabel() const;
    QLabel* bodyLabel() const;
    QLabel* volumeLabel() const;

protected:
    virtual void tellDelegate() = 0;

private:
    std::unique_ptr<Ui::MakeSureDialog> ui;
};
