#pragma once
#include <QWidget>

#include <memory>

class TCImageButton;
namespace Ui { class CustemSegmentVC; }

class CustemSegmentVCDelegate
{
public:
    virtual ~CustemSegmentVCDelegate() = default;
    virtual void segmentSelectWithIndex(int index) { (void)index; }
};

// The Uninstaller's three tab buttons. Presses do nothing while the gate is
// closed (during the first scan).
class CustemSegmentVC : public QWidget
{
    Q_OBJECT
public:
    explicit CustemSegmentVC(QWidget* parent = nullptr);
    ~CustemSegmentVC() override;

    void setDelegate(CustemSegmentVCDelegate* delegate) { m_delegate = delegate; }
    void setSegmentEndit(bool open) { m_isEndit = open; }
    bool isEndit() const { return m_isEndit; }
    // The tab button pressed, by its identifier "0", "1" or "2".
    void buttonSelectAction(const QString& identifier);
    TCImageButton* tab(int n) const;  // 1..3

private:
    std::unique_ptr<Ui::CustemSegmentVC> ui;
    CustemSegmentVCDelegate* m_delegate = nullptr;
    bool m_isEndit = false;
};
