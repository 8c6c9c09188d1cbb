#pragma once
#include "WipeDisk/NoticeDialog.h"

#include <memory>

class QAbstractButton;
class TextImageButton;
class QLabel;
namespace Ui { class NTFSViewController; }

// The notice that an NTFS volume cannot be written here.
class NTFSViewController : public NoticeDialog
{
    Q_OBJECT
public:
    static const QString kHelpUrl;
    static const QString kWindowsProductUrl;

    explicit NTFSViewController(QWidget* parent = nullptr);
    ~NTFSViewController() override;

    void linkToHelpButtonAction();
    void linkToWinButtonAction();
    void setLinkLabelStyle();
    void setTwoLinkLabelStyle();
    // Lays the link buttons over the two links.
    void placeLinkButtons();

    TextImageButton* okButton() const;
    QAbstractButton* linkToHelp() const;
    QAbstractButton* linkToWinBut() const;
    QLabel* linkLabel() const;
    QLabel* nodeTLabel() const;

private:
    QString nodeText() const;
    std::unique_ptr<Ui::NTFSViewController> ui;
};
