#include "uninstall/UninstallTableModel.h"

#include "Main/Tools/ImageTextCell.h"
#include "platform/ImageStore.h"

#include <QColor>
#include <QFileInfo>
#include <QIcon>

UninstallTableModel::UninstallTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void UninstallTableModel::setNameTitle(const QString& title)
{
    m_nameTitle = title;
    emit headerDataChanged(Qt::Horizontal, AppName, AppName);
}

int UninstallTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_shown ? 0 : static_cast<int>(m_shown->size());
}

int UninstallTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QPixmap UninstallTableModel::iconOf(AMAppItem& item)
{
    if (!item.image.isNull())
        return item.image;
    QPixmap pixmap;
    if (item.iconName.startsWith('/')) {
        pixmap = QIcon(item.iconName).pixmap(32, 32);
    } else if (!item.iconName.isEmpty()) {
        pixmap = QIcon::fromTheme(item.iconName).pixmap(32, 32);
    }
    // The theme may lack the icon: a generic application, not the trash
    // picture the row's remove button already shows.
    if (pixmap.isNull())
        pixmap = QIcon::fromTheme(QStringLiteral("application-x-executable")).pixmap(32, 32);
    if (pixmap.isNull())
        pixmap = platform::imageNamed(QStringLiteral("ic_app"), QSize(32, 32));
    item.image = pixmap;
    return pixmap;
}

QVariant UninstallTableModel::data(const QModelIndex& index, int role) const
{
    if (!m_shown || !index.isValid() || index.row() >= m_shown->size())
        return {};
    const AMAppItemPtr& item = m_shown->at(index.row());
    switch (index.column()) {
    case CheckBox:
        if (role == Qt::DecorationRole)
            return platform::imageNamed(m_isTicked && m_isTicked(item.get()) ? QStringLiteral("checkbox_yes")
                                                                           : QStringLiteral("checkbox_no"));
        break;
    case AppName:
        if (role == Qt::DisplayRole)
            return item->name;
        if (role == ImageTextCell::SecondaryTextRole)
            return item->bundleID.isEmpty() ? QVariant() : QVariant(item->bundleID);
        if (role == Qt::DecorationRole)
            return iconOf(*item);
        if (role == Qt::ToolTipRole)  // a path is not ours: never read as markup
            return QStringLiteral("<p style=\"white-space:pre-wrap\">%1</p>").arg(item->path.toHtmlEscaped());
        break;
    case Version:
        if (role == Qt::DisplayRole)
            return item->bundleVersion;
        if (role == Qt::ForegroundRole)
            return QColor::fromRgbF(1, 1, 1, 0.6f);
        break;
    case Size:
        if (role == Qt::DisplayRole) {
            if (!item->bIsGetSize && m_sizeNeeded)
                m_sizeNeeded(item);
            return item->size;
        }
        if (role == Qt::ForegroundRole)
            return QColor(249, 249, 255);
        break;
    case Trash:
        if (role == Qt::DecorationRole)
            return platform::imageNamed(index.row() == m_highlightedRow ? QStringLiteral("ic_trash_hover")
                                                                         : QStringLiteral("ic_trash"));
        break;
    default:
        break;
    }
    return {};
}

QVariant UninstallTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case AppName: return m_nameTitle;
    case Version: return QStringLiteral("Version");
    case Size: return QStringLiteral("Size");
    default: return QString();
    }
}

void UninstallTableModel::reload()
{
    beginResetModel();
    endResetModel();
}

void UninstallTableModel::sizeChanged(const AMAppItemPtr& item)
{
    if (!m_shown)
        return;
    const qsizetype row = m_shown->indexOf(item);
    if (row >= 0)
        emit dataChanged(index(int(row), Size), index(int(row), Size));
}
