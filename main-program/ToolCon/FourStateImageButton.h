#pragma once
#include <QAbstractButton>
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
    void setButtonEnabled(bool enabled);
    bool buttonEnabled() const { return isDisabled; }

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

    // Where the picture goes once the pictures are set; icon buttons keep the
    // picture's own size.
    virtual QRectF pictureRectFor(const QString& normalName) const;
    // Runs after one click's tracking has ended.
    virtual void mouseTrackingEnded(QMouseEvent*) {}

    void drawPicture(QPainter& painter, const QString& name) const;
    void drawPlainButton(QPainter& painter);
    void setLabelColor(const QColor& color);

    QString normalImage;
    QString activeImage;
    QString hoverImage;
    QString disableImage;
    bool isTracking = false;
    bool m_isFocus = false;
    // The button's own enable flag, in the ENABLED sense: true = it reacts.
    bool isDisabled = false;
    QRectF dstRect;
    QRectF srcRect;
    // The title label, made once. It takes its colour from WindowText: a
    // child of a button would otherwise draw in the button's text colour.
    QLabel* createLabel();
    QLabel* textField = nullptr;

private:
    void setUp();
};
