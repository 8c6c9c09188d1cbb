#include "WipeDisk/WipeVolumeTableModel.h"

#include "platform/ImageStore.h"

#include <QColor>

WipeVolumeTableModel::WipeVolumeTableModel(const QList<VolumeObjPtr>* volumes, const VolumeObjPtr* selected, QObject* parent)
    : QAbstractTableModel(parent), m_volumes(volumes), m_selected(selected)
{
}

void WipeVolumeTableModel::reload()
{
    beginResetModel();
    endResetModel();
}

int WipeVolumeTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_volumes->size());
}

int WipeVolumeTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

Qt::ItemFlags WipeVolumeTableModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QVariant WipeVolumeTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_volumes->size())
        return {};
    const VolumeObj& v = *m_volumes->at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Name: return v.volumeName;
        case Type: return v.volumeType;
        case TotalSize: return QStringLiteral("%1 / %2").arg(v.volumeFreeSize, v.volumeTotalSize);
        case FreeSize: return v.volumeFreeSize;
        default: return {};
        }
    case Qt::ToolTipRole:
        return index.column() == Name ? QVariant(QStringLiteral("%1 (%2)").arg(v.volumeName, v.volumePath)) : QVariant();
    case Qt::DecorationRole:
        if (index.column() == CheckBox) {
            const bool chosen = *m_selected && (*m_selected)->volumePath == v.volumePath;
            return platform::iconNamed(chosen ? QStringLiteral("radiobutton_sel") : QStringLiteral("radiobutton_no"));
        }
        if (index.column() == Name)
            return platform::iconNamed(v.bCanEject ? QStringLiteral("ic_usb")
                                       : v.volumeMountPoint == QLatin1String("/") ? QStringLiteral("ic_os")
                                                                                  : QStringLiteral("ic_disk"));
        return {};
    case Qt::ForegroundRole:
        return index.column() == Type ? QColor(255, 255, 255, 153) : QColor(Qt::white);
    default:
        return {};
    }
}

QVariant WipeVolumeTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name: return QStringLiteral("Name");
    case Type: return QStringLiteral("Type");
    case TotalSize: return QStringLiteral("Free / Total");
    case FreeSize: return QStringLiteral("Free");
    default: return QString();
    }
}
