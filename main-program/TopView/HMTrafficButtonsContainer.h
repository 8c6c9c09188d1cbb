#pragma once
#include <QAbstractButton>
#include <QPixmap>

// One drawn window button whose picture follows the window's main state and
// the shared hover signal of the title bars.
class HMTrafficButtonsContainer : public QAbstractButton
{
    Q_OBJECT
public:
    explicit HMTrafficButtonsContainer(QWidget* parent = nullptr);
    HMTrafficButtonsContainer(const QRect& frame, QWidget* parent);

    QString idStr() const { return m_idStr; }
    // Before `setup`: "close", "minimize" or "zoom".
    void setIdStr(const QString& idStr) { m_idStr = idStr; }
    void setup();

    void setActiveState();
    void setInactiveState();
    void hoverIn();
    void hoverOut();

    bool activeState() const { return m_activeState; }
    bool hoverState() const { return m_hoverState; }
    // The picture shown now: "" when its named picture does not exist.
    QString currentImageName() const { return m_currentName; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showPicture(const QString& name);

    QString m_idStr;
    QString active;
    QString hover;
    QString inactive;
    bool m_activeState = false;
    bool m_hoverState = false;
    QString m_currentName;
    bool m_observing = false;
};
