#pragma once
#include <QDialog>

#include <memory>

namespace Ui {
class NTFSFileAlert;
}

// Shown instead of the erase window for an item on an NTFS volume, which
// the tool cannot overwrite reliably; erases nothing.
class NTFSFileAlert : public QDialog
{
    Q_OBJECT
public:
    explicit NTFSFileAlert(QWidget* parent = nullptr);
    ~NTFSFileAlert() override;

public slots:
    void okButtonAction();

private:
    std::unique_ptr<Ui::NTFSFileAlert> ui;
};
