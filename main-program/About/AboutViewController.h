#pragma once
#include <QPointer>
#include <QWidget>

#include <memory>

namespace Ui {
class AboutViewController;
}

// About: texts from its interface file and a button to the About page.
class AboutViewController : public QWidget
{
    Q_OBJECT
public:
    explicit AboutViewController(QWidget* parent = nullptr);
    ~AboutViewController() override;

    QPointer<QWidget> superDelegate;

public slots:
    void aboutButtonAction();
    void closeWindow();

private:
    std::unique_ptr<Ui::AboutViewController> ui;
};
