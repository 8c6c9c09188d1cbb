#pragma once
#include "Comm/VolumeObj.h"

#include <QAbstractTableModel>

// The wiper's volume list as the table reads it: a radio mark, the name
// with its icon, the type, "free / total" and the free size.
class WipeVolumeTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { CheckBox, Name, Type, TotalSize, FreeSize, ColumnCount };

    WipeVolumeTableModel(const QList<VolumeObjPtr>* volumes, const VolumeObjPtr* selected, QObject* parent = nullptr);

    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const QList<VolumeObjPtr>* m_volumes;
    const VolumeObjPtr* m_selected;
};
