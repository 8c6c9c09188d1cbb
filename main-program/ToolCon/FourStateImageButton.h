#pragma once
#include <QAbstractButton>
#include <QColor>
#include <QRectF>
#include <QString>

// What the picture buttons share: four named pictures, one per state, and
// three flags from which the state is derived at every paint.
class QLabel;

class FourStateImageButton : public QAbstractButton
{
    Q_OBJECT
public:
    // From an interface file: the enable flag starts clear, so the button
    // looks disabled and ignores clicks until its owner enables it.
    explicit FourStateImageButton(QWidget* parent = nullptr);
    // Made in code: the enable flag starts set.
    FourStateImageButton(const QRect& frame, QWidget* parent);

    enum class Look { Disabled, Pressed, Hover, Normal };

    void setImageFromFileNormalName(const QString& normal, const QString& active, const QString& hover,
                                    const QString& disable);
    // Also decides whether Tab stops at the button.
    void setButtonEnabled(bool enabled);
    bool buttonEnabled() const { return isDisabled; }
    // Focus that came from the keyboard shows as a ring; a click's does not.
    bool showsFocusRing() const { return hasFocus() && m_keyboardFocus; }
    // Takes the focus as a Tab gives it, ring included, also in a window
    // that is not active yet (a dialog just opened).
    void takeKeyboardFocus();

    // Misleading name kept: "focus" is the pointer hovering, not keyboard focus.
    bool isFocus() const { return m_isFocus; }
    void setIsFocus(bool focus);
    bool tracking() const { return isTracking; }

    // First match wins: disabled, pressed, hover, normal.
    Look look() const;
    QString normalImageName() const { return normalImage; }
    QString imageNameFor(Look look) const;
    QRectF pictureRect() const { return dstRect; }

    QSize sizeHint() const override;

    // The text label over the picture, once a label has been set.
    QLabel* label() const { return textField; }
    // The colour the label shows now.
    QColor labelColor() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

    // Where the picture goes once the pictures are set; icon buttons keep the
    // picture's own size.
    virtual QRectF pictureRectFor(const QString& normalName) const;
    // Runs after one click's tracking has ended.
    virtual void mouseTrackingEnded(QMouseEvent*) {}

    // Assistive technology names the button by its label, or by its tool tip
    // where it is a picture alone; a name its owner set stays.
    void refreshAccessibleName();

    void drawPicture(QPainter& painter, const QString& name) const;
    void drawPlainButton(QPainter& painter);
    void setLabelColor(const QColor& color);

    QString normalImage;
    QString activeImage;
    QString hoverImage;
    QString disableImage;
    bool isTracking = false;
    bool m_isFocus = false;
    // Misleading name kept: it holds the ENABLED sense, true = the button reacts.
    bool isDisabled = false;
    QRectF dstRect;
    QRectF srcRect;
    // The title label, made once. It takes its colour from WindowText: a
    // child of a button would otherwise draw in the button's text colour.
    QLabel* createLabel();
    QLabel* textField = nullptr;

private:
    void setUp();
    void drawFocusRing();
    bool m_keyboardFocus = false;
    QColor m_labelColor;
    QString m_derivedName;  // the accessible name last taken from the label or tip
};
