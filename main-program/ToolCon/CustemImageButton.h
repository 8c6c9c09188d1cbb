#pragma once
#include <QByteArray>
#include <QFont>
#include <QPointer>
#include <QWidget>

class QLabel;

// A flat rounded button drawn with colours rather than pictures. Its action
// is a slot name sent to `delegate` on mouse-up.
class CustemImageButton : public QWidget
{
    Q_OBJECT
public:
    // From an interface file: draws disabled and fires nothing until enabled.
    explicit CustemImageButton(QWidget* parent = nullptr);
    CustemImageButton(const QRect& frame, QWidget* parent);

    // Colour type 0-5 picks the fill and title colours.
    void setTextWithName(const QString& title, const QFont& font, quint64 colorType, const QString& identifier);
    void setButtonEnabled(bool enabled);

    // Misleading name kept: "focus" is the pointer hovering, not keyboard focus.
    bool isFocus() const { return m_isFocus; }
    void setIsFocus(bool focus);
    bool isEnabledFlag() const { return m_isEnabled; }
    bool tracking() const { return isTracking; }
    QObject* delegate() const { return m_delegate; }
    void setDelegate(QObject* delegate) { m_delegate = delegate; }
    QByteArray buttonAction() const { return m_buttonAction; }
    void setButtonAction(const QByteArray& slotName) { m_buttonAction = slotName; }
    qint64 butTag() const { return m_butTag; }
    void setButTag(qint64 tag) { m_butTag = tag; }

    static float getStringWidthWith(const QString& text, const QFont& font, const QSizeF& size);

    // The fill of the current state, for the owner's and tests' eyes.
    QColor fillColor() const;
    QColor titleColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool isTracking = false;
    bool m_isFocus = false;
    // Misleading name kept: it holds the ENABLED sense; `m_isEnabled` gates the action.
    bool isDisabled = false;
    bool m_isEnabled = false;
    QPointer<QObject> m_delegate;
    QByteArray m_buttonAction;
    quint64 myColorType = 0;
    qint64 m_butTag = 0;
    QString titleStr;
    QFont titleFont;
    bool isBeginDraw = false;
    QLabel* imageView = nullptr;
};
