#pragma once
#include "PopWindow/PanelController.h"

class TextImageButton;

// What every "Continue" / "Cancel" confirmation shares: the panel it lives
// in (`superDelegate`), which it closes to end the modal run.
class MakeSureDialog : public PanelController
{
    Q_OBJECT
public:
    explicit MakeSureDialog(QWidget* parent = nullptr) : PanelController(parent) {}

    // "Continue": tells the delegate first, then closes, so the job starts
    // while the modal run is still on.
    void okButtonAction();
    // "Cancel": only closes.
    void noButtonAction();
    void closeWindow();

protected:
    // Wires both buttons with their pictures and texts.
    void setUpButtons(TextImageButton* okButton, TextImageButton* noButton);
    virtual void tellDelegate() = 0;
};
