#pragma once
#include "WipeDisk/MakeSureDialog.h"

#include <memory>

class TextImageButton;
namespace Ui { class MakeSureFileEraserViewControoler; }

class MakeSureFileEraserVCDelegate
{
public:
    virtual ~MakeSureFileEraserVCDelegate() = default;
    virtual void makeSureToEraserSelectFiles() {}
};

// "Continue" / "Cancel" before the ticked items are erased.
class MakeSureFileEraserViewControoler : public MakeSureDialog
{
    Q_OBJECT
public:
    explicit MakeSureFileEraserViewControoler(QWidget* parent = nullptr);
    ~MakeSureFileEraserViewControoler() override;

    void setDelegate(MakeSureFileEraserVCDelegate* delegate) { m_delegate = delegate; }
    TextImageButton* okButton() const;
    TextImageButton* noButton() const;

protected:
    void tellDelegate() override;

private:
    std::unique_ptr<Ui::MakeSureFileEraserViewControoler> ui;
    MakeSureFileEraserVCDelegate* m_delegate = nullptr;
};
