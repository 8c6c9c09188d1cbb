#pragma once
#include "PopWindow/PanelController.h"

#include <memory>

class QAbstractButton;
class QLabel;
class TextImageButton;
namespace Ui { class FristAidViewController; }

class FristAidVCDelegate
{
public:
    virtual ~FristAidVCDelegate() = default;
    virtual void checkDiskAction() {}
    virtual void repairDiskAction() {}
};

// "Run First Aid on '<name>'?": check only, repair (Run), or Cancel.
class FristAidViewController : public PanelController
{
    Q_OBJECT
public:
    explicit FristAidViewController(QWidget* parent = nullptr);
    ~FristAidViewController() override;

    void setDelegate(FristAidVCDelegate* delegate) { m_delegate = delegate; }
    void changeAidDiskName(const QString& name);
    void closeWindow();
    void checkButAction();
    void repaireButAction();

    TextImageButton* cancelBut() const;
    TextImageButton* repairBut() const;
    QAbstractButton* checkBut() const;
    QLabel* topLabel() const;

private:
    std::unique_ptr<Ui::FristAidViewController> ui;
    FristAidVCDelegate* m_delegate = nullptr;
};
