#pragma once
#include <QPointer>
#include <QWidget>

#include <memory>

class QAbstractButton;
namespace Ui {
class ExportViewController;
}

// Tells that an export has finished; "OK" closes the panel it is shown in.
class ExportViewController : public QWidget
{
    Q_OBJECT
public:
    explicit ExportViewController(QWidget* parent = nullptr);
    ~ExportViewController() override;

    // Shows the dialog modally over `mainWindow` and returns when it is closed.
    static void runModal(QWidget* mainWindow);

    void closeWindow();

    QPointer<QWidget> superDelegate;
    QAbstractButton* closeButton() const;

private:
    std::unique_ptr<Ui::ExportViewController> ui;
};
