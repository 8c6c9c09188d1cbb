#pragma once
#include "WipeDisk/NoticeDialog.h"

#include <memory>

class QAbstractButton;
class TextImageButton;
class QLabel;
namespace Ui { class SystemEraserViewController; }

// The notice that the startup volume cannot be wiped as a whole.
class SystemEraserViewController : public NoticeDialog
{
    Q_OBJECT
public:
    static const QString kHelpUrl;

    explicit SystemEraserViewController(QWidget* parent = nullptr);
    ~SystemEraserViewController() override;

    void linkButtonAction();
    void setLinkLabelStyle();
    void setNodeLabelStyle();

    TextImageButton* okButton() const;
    QLabel* linkLabel() const;
    QLabel* nodeLabel() const;

private:
    std::unique_ptr<Ui::SystemEraserViewController> ui;
};
