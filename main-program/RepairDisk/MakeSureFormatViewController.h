#pragma once
#include "PopWindow/AttachedDropDown.h"
#include "PopWindow/PanelController.h"
#include "RepairDisk/FormatTypeViewController.h"

#include <QPointer>

#include <memory>

class QLabel;
class QLineEdit;
class QAbstractButton;
class TextImageButton;
namespace Ui { class MakeSureFormatViewController; }

class MakeSureFormatVCDelegate
{
public:
    virtual ~MakeSureFormatVCDelegate() = default;
    virtual void makeSureToFormatSelectVolumeWithName(const QString& /*name*/, const QString& /*type*/) {}
};

// "Format '<name>'?": the new name, the file-system type (from a drop-down),
// Continue and Cancel; after Continue a working page spins until the screen
// closes the dialog.
class MakeSureFormatViewController : public PanelController, public FormatTypeVCDelegate
{
    Q_OBJECT
public:
    // What an NTFS volume becomes: NTFS cannot be made here.
    static constexpr const char* kNtfsRoadType = "MS-DOS FAT32";
    static constexpr const char* kNtfsRoadName = "NEW";

    explicit MakeSureFormatViewController(QWidget* parent = nullptr);
    ~MakeSureFormatViewController() override;

    void setDelegate(MakeSureFormatVCDelegate* delegate) { m_delegate = delegate; }
    void setName(const QString& name, const QString& type);

    void okButtonAction();
    void noButtonAction();
    void closeWindow();
    void openMenuAction();
    void closeMattachedWindow();
    void mouseEixtView(bool exited) override;
    void selectFormatbyType(int type) override;

    QLabel* nameLabel() const;
    QLabel* nodeLabel() const;
    QLineEdit* nameTextFiled() const;
    QLabel* typeLabel() const;
    QAbstractButton* typeSelectBut() const;
    QLabel* openImageV() const;
    TextImageButton* okButton() const;
    TextImageButton* noButton() const;
    QWidget* makeSureView() const;
    QWidget* formatView() const;
    FormatTypeViewController* formatTypeVC() const { return m_formatTypeVC; }
    AttachedDropDown& typeDropDown() { return m_typeDropDown; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static int typeOfText(const QString& text);

    std::unique_ptr<Ui::MakeSureFormatViewController> ui;
    MakeSureFormatVCDelegate* m_delegate = nullptr;
    QPointer<FormatTypeViewController> m_formatTypeVC;
    AttachedDropDown m_typeDropDown;
};
