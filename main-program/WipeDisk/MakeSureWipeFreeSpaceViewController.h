#pragma once
#include "WipeDisk/MakeSureDialog.h"

#include <memory>

class TextImageButton;
namespace Ui { class MakeSureWipeFreeSpaceViewController; }

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
    ~MakeSureWipeFreeSpaceViewController() override;

    MakeSureWipeFreeSpaceVCDelegate* delegate() const { return m_delegate; }
    void setDelegate(MakeSureWipeFreeSpaceVCDelegate* delegate) { m_delegate = delegate; }
    TextImageButton* okButton() const;
    TextImageButton* noButton() const;

protected:
    void tellDelegate() override;

private:
    std::unique_ptr<Ui::MakeSureWipeFreeSpaceViewController> ui;
    MakeSureWipeFreeSpaceVCDelegate* m_delegate = nullptr;
};
