#pragma once
#include "WipeDisk/MakeSureDialog.h"

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

    MakeSureFileEraserVCDelegate* delegate() const { return m_delegate; }
    void setDelegate(MakeSureFileEraserVCDelegate* delegate) { m_delegate = delegate; }

protected:
    void tellDelegate() override;

private:
    MakeSureFileEraserVCDelegate* m_delegate = nullptr;
};
