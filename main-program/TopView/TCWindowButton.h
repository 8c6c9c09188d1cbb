#pragma once
#include <QAbstractButton>
#include <QPixmap>
#include <QPointer>
#include <QString>

// Buttons of one group show their rollover pictures while the pointer is
// over any of them. Groups live for the whole process.
class TCWindowButtonGroup
{
public:
    static constexpr const char* kDefaultIdentifier = "com.morvath.TCImageWindow.defaultWindowButtonGroup";
    static constexpr const char* kRolloverNotification = "TCWindowButtonGroupDidUpdateRolloverStateNotification";

    // An empty identifier means the default group.
    static TCWindowButtonGroup* groupWithIdentifier(const QString& identifier);

    QString identifier() const { return m_identifier; }
    qint64 numberOfCaptures() const { return m_numberOfCaptures; }
    // Negative or unchanged values are ignored; a change is announced with
    // the group's identifier as "object".
    void setNumberOfCaptures(qint64 count);

    void didCaptureMousePointer() { ++m_numberOfCaptures; }
    void didReleaseMousePointer() { --m_numberOfCaptures; }
    void resetMouseCaptures() { m_numberOfCaptures = 0; }
    bool shouldDisplayRollOver() const { return m_numberOfCaptures > 0; }

private:
    explicit TCWindowButtonGroup(QString identifier) : m_identifier(std::move(identifier)) {}

    QString m_identifier;
    qint64 m_numberOfCaptures = 0;
};

// A picture window button that may replace one of the image window's own.
class TCWindowButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit TCWindowButton(QWidget* parent = nullptr);
    TCWindowButton(const QSize& size, const QString& groupIdentifier, QWidget* parent = nullptr);
    static TCWindowButton* windowButtonWithSize(const QSize& size, const QString& groupIdentifier,
                                                QWidget* parent = nullptr);

    TCWindowButtonGroup* group() const;
    QString groupIdentifier() const { return m_groupIdentifier; }

    QPixmap activeImage, activeNotKeyWindowImage, inactiveImage, rolloverImage, pressedImage;

    // The picture the button shows now.
    QPixmap currentImage() const;

    // The pointer counts as over the button within its bounds grown by this
    // much on every side.
    static constexpr int kTrackingMargin = 4;
    bool pointerInside() const { return m_inside; }
    // The window's resize by dragging ended: the group's captures start again from none.
    void viewDidEndLiveResize();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setPointerInside(bool inside);
    void watchParent();

    QString m_groupIdentifier;
    QPointer<QWidget> m_watchedParent;
    bool m_inside = false;
};
