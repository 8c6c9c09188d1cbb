#pragma once
#include <QPointer>
#include <QWidget>

// A notice with one button that closes its panel (`superDelegate`).
class NoticeDialog : public QWidget
{
    Q_OBJECT
public:
    explicit NoticeDialog(QWidget* parent = nullptr) : QWidget(parent) {}

    QWidget* superDelegate() const { return m_superDelegate; }
    void setSuperDelegate(QWidget* panel) { m_superDelegate = panel; }
    void okButtonAction()
    {
        if (m_superDelegate)
            m_superDelegate->close();
    }

    // Opens an address of the maker's as the desktop user; the labels'
    // links come here too.
    static void openLink(const QString& url);

private:
    QPointer<QWidget> m_superDelegate;
};
