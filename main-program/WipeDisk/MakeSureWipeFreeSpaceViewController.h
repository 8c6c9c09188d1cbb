#pragma once
#include "WipeDisk/MakeSureDialog.h"

class MakeSureWipeFreeSpaceVCDelegate
{
public:
    virtual ~MakeSureWipeFreeSpaceVCDelegate() = default;
    virtual void makeSureToWipeFreeSpaceSelectVolume() {}
};

class MakeSureWipeFreeSpaceViewController : public MakeSureDialog
{
    Q_OBJECT
public:
    explicit MakeSureWipeFreeSpaceViewController(QWidget* parent = nullptr);

    MakeSureWipeFreeSpaceVCDelegate* delegate() const { return m_delegate; }
    void setDelegate(MakeSureWipeFreeSpaceVCDelegate* delegate) { m_delegate = delegate; }

protected:
    void tellDelegate() override;

private:
    MakeSureWipeFreeSpaceVCDelegate* m_delegate = nullptr;
};
