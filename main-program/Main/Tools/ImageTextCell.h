#pragma once
#include <QPixmap>
#include <QStyledItemDelegate>

// An application row: a 32-pt icon, a primary line and an optional
// secondary line. The model's display role (primary), SecondaryTextRole and
// decoration role win over the values set on the cell.
class ImageTextCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int SecondaryTextRole = Qt::UserRole + 101;

    explicit ImageTextCell(QObject* parent = nullptr);

    // Despite the names, the key-path setters take the texts themselves.
    void setIconImage(const QPixmap& icon) { m_iconImage = icon; }
    void setIconKeyPath(const QString& value) { m_iconKeyPath = value; }
    void setPrimaryTextKeyPath(const QString& text) { m_primaryTextKeyPath = text; }
    void setSecondaryTextKeyPath(const QString& text) { m_secondaryTextKeyPath = text; }

    // Where the lines go inside `frame`; no secondary line moves the primary 9 pt down.
    static QRectF primaryRect(const QRectF& frame, bool hasSecondary);
    static QRectF secondaryRect(const QRectF& frame);
    static QRectF iconRect(const QRectF& frame);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QPixmap m_iconImage;
    QString m_iconKeyPath;
    QString m_primaryTextKeyPath;
    QString m_secondaryTextKeyPath;
};
