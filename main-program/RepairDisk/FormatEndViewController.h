#pragma once
#include "PopWindow/PanelController.h"

#include <memory>

class QLabel;
class TextImageButton;
namespace Ui { class FormatEndViewController; }

// The end of a format: done, or failed with diskutil's reason.
class FormatEndViewController : public PanelController
{
    Q_OBJECT
public:
    explicit FormatEndViewController(QWidget* parent = nullptr);
    ~FormatEndViewController() override;

    // An empty reason on success.
    void setOutcome(bool succeeded, const QString& reason);
    bool succeeded() const { return m_succeeded; }
    void closeWindow() { closePanel(); }

    TextImageButton* closeButton() const;
    QLabel* titleLabel() const;
    QLabel* reasonLabel() const;

private:
    std::unique_ptr<Ui::FormatEndViewController> ui;
    bool m_succeeded = true;
};

// A volume action (mount, unmount, eject, rename) failed: what was tried and
// diskutil's reason.
class DiskActionFailedViewController : public PanelController
{
    Q_OBJECT
public:
    DiskActionFailedViewController(const QString& title, const QString& reason, QWidget* parent = nullptr);
    ~DiskActionFailedViewController() override;

    TextImageButton* closeButton() const;
    QLabel* titleLabel() const;
    QLabel* reasonLabel() const;

private:
    std::unique_ptr<Ui::FormatEndViewController> ui;
};
