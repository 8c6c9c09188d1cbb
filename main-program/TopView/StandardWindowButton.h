#pragma once
#include <QAbstractButton>

class StandardWindowButton;

// A view holding window buttons that answers whether the pointer is in
// their group, so that the three show their hover glyphs together.
class WindowButtonGroupHost
{
public:
    virtual ~WindowButtonGroupHost() = default;
    virtual bool mouseInGroup(const StandardWindowButton* button) const = 0;
};

// The window's own close, minimise and zoom button, drawn by us because a
// frameless window has none. A click acts on the button's window.
class StandardWindowButton : public QAbstractButton
{
    Q_OBJECT
public:
    enum Kind { Close = 0, Miniaturize = 1, Zoom = 2 };

    explicit StandardWindowButton(QWidget* parent = nullptr);
    StandardWindowButton(Kind kind, QWidget* parent);

    static StandardWindowButton* standardWindowButton(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }
    void setKind(Kind kind);
    // "close", "minimize" or "zoom": the pictures' middle word.
    QString kindName() const;
    // The picture the button shows now.
    QString currentImageName() const;

    QSize sizeHint() const override { return QSize(12, 12); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void act();

    Kind m_kind = Close;
};
