#pragma once
#include "ToolCon/FourStateImageButton.h"

class QLabel;
class QMouseEvent;

class TCImageButtonDelegate
{
public:
    virtual ~TCImageButtonDelegate() = default;
    virtual void moushDownInButton(QMouseEvent*) {}
};

// An icon button drawn at its picture's own size (back arrows, sort, the
// search field's cross).
class TCImageButton : public FourStateImageButton
{
    Q_OBJECT
public:
    explicit TCImageButton(QWidget* parent = nullptr);
    TCImageButton(const QRect& frame, QWidget* parent);

    TCImageButtonDelegate* delegate() const { return m_delegate; }
    void setDelegate(TCImageButtonDelegate* delegate) { m_delegate = delegate; }

    void setTextWithName(const QString& text, const QRect& frame);

protected:
    QRectF pictureRectFor(const QString& normalName) const override;
    void mouseTrackingEnded(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    TCImageButtonDelegate* m_delegate = nullptr;
};
