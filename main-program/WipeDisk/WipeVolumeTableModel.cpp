#include "WipeDisk/WipeVolumeTableModel.h"

#include "platform/ImageStore.h"

#include <QTextDocument>
#include <QColor>

WipeVolumeTableModel::WipeVolumeTableModel(QList<VolumeObjPtr>* volumes, const VolumeObjPtr* selected, QObject* parent)
    : QAbstractTableModel(parent), m_volumes(volumes), m_selected(selected)
{
    m_clock.start();
    m_changedAt.fill(-kSettleMs, m_volumes->size());
}

void WipeVolumeTableModel::reload()
{
    if (!m_volumes->isEmpty())
        emit dataChanged(index(0, 0), index(int(m_volumes->size()) - 1, ColumnCount - 1));
}

void WipeVolumeTableModel::markChanged(int from, int to)
{
    for (int row = from; row < to && row < m_changedAt.size(); ++row)
        m_changedAt[row] = m_clock.elapsed();
}

bool WipeVolumeTableModel::changedRecently(int row) const
{
    return row >= 0 && row < m_changedAt.size() && m_clock.elapsed() - m_changedAt.at(row) < kSettleMs;
}

void WipeVolumeTableModel::update(const QList<VolumeObjPtr>& found, const SameVolume& same)
{
    QList<VolumeObjPtr> fresh = found;
    // Gone volumes first, from the bottom up; the rows below each one move up
    // a place, so they count as changed under the pointer.
    for (int row = int(m_volumes->size()) - 1; row >= 0; --row) {
        const VolumeObjPtr old = m_volumes->at(row);
        qsizetype match = -1;
        for (qsizetype i = 0; i < fresh.size() && match < 0; ++i)
            if (same(*old, *fresh.at(i)))
                match = i;
        if (match >= 0) {
            (*m_volumes)[row] = fresh.takeAt(match);
            continue;
        }
        beginRemoveRows({}, row, row);
        m_volumes->removeAt(row);
        m_changedAt.removeAt(row);
        endRemoveRows();
        markChanged(row, int(m_volumes->size()));
    }
    reload();
    if (fresh.isEmpty())
        return;
    const int first = int(m_volumes->size());
    beginInsertRows({}, first, first + int(fresh.size()) - 1);
    m_volumes->append(fresh);
    m_changedAt.resize(m_volumes->size());
    endInsertRows();
    markChanged(first, int(m_volumes->size()));
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
        // A label is the volume's own text: escaped, so markup in it is shown, not obeyed.
        return index.column() == Name
            ? QVariant(Qt::convertFromPlainText(QStringLiteral("%1 (%2)").arg(v.volumeName, v.volumePath)))
            : QVariant();
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
