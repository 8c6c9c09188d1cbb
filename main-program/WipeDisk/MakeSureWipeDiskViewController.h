#pragma once
#include "WipeDisk/MakeSureDialog.h"

#include <memory>

class TextImageButton;
namespace Ui { class MakeSureWipeDiskViewController; }

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
    ~MakeSureWipeDiskViewController() override;

    MakeSureWipeDiskVCDelegate* delegate() const { return m_delegate; }
    void setDelegate(MakeSureWipeDiskVCDelegate* delegate) { m_delegate = delegate; }
    TextImageButton* okButton() const;
    TextImageButton* noButton() const;

protected:
    void tellDelegate() override;

private:
    std::unique_ptr<Ui::MakeSureWipeDiskViewController> ui;
    MakeSureWipeDiskVCDelegate* m_delegate = nullptr;
};
