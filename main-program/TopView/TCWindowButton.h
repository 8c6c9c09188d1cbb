#pragma once
#include <QAbstractButton>
#include <QPixmap>
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

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString m_groupIdentifier;
};
