#pragma once
#include <QDialog>

#include <memory>

namespace Ui {
class SystemItemAlert;
}

// Shown instead of the erase window for an item that belongs to the system
// ("/", a kernel file system, a device, a system volume's mount point), with
// the main program's words; erases nothing.
class SystemItemAlert : public QDialog
{
    Q_OBJECT
public:
    explicit SystemItemAlert(const QString& path, QWidget* parent = nullptr);
    ~SystemItemAlert() override;

    QString noticeText() const;

public slots:
    void okButtonAction();

private:
    std::unique_ptr<Ui::SystemItemAlert> ui;
};
