#pragma once
#include "WipeDisk/MakeSureDialog.h"

class MakeSureWipeDiskVCDelegate
{
public:
    virtual ~MakeSureWipeDiskVCDelegate() = default;
    virtual void makeSureToWipeSelectVolume() {}
};

class MakeSureWipeDiskViewController : public MakeSureDialog
{
    Q_OBJECT
public:
    explicit MakeSureWipeDiskViewController(QWidget* parent = nullptr);

    MakeSureWipeDiskVCDelegate* delegate() const { return m_delegate; }
    void setDelegate(MakeSureWipeDiskVCDelegate* delegate) { m_delegate = delegate; }

protected:
    void tellDelegate() override;

private:
    MakeSureWipeDiskVCDelegate* m_delegate = nullptr;
};
