#pragma once
#include "Comm/VolumeObj.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>

#include <functional>

// The wiper's volume list as the table reads it: a radio mark, the name
// with its icon, the type, "free / total" and the free size.
class WipeVolumeTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { CheckBox, Name, Type, TotalSize, FreeSize, ColumnCount };
    // A row that became another volume this recently takes no click: the
    // user aimed at what was there before.
    static constexpr qint64 kSettleMs = 500;
    using SameVolume = std::function<bool(const VolumeObj&, const VolumeObj&)>;

    WipeVolumeTableModel(QList<VolumeObjPtr>* volumes, const VolumeObjPtr* selected, QObject* parent = nullptr);

    // Redraws every row; the rows themselves stay.
    void reload();
    // Takes a new scan in place: a volume still there keeps its row (with
    // its new record), a gone one's row goes, a new one is added at the end.
    // Nothing is emptied or reordered, so the view keeps its scroll position.
    void update(const QList<VolumeObjPtr>& found, const SameVolume& same);
    // Whether `row` holds a different volume, or stands elsewhere on screen,
    // since less than kSettleMs.
    bool changedRecently(int row) const;
    // The row moved on screen under a pointer that may be on it.
    void markMoved(int row) { markChanged(row, row + 1); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void markChanged(int from, int to);

    QList<VolumeObjPtr>* m_volumes;
    const VolumeObjPtr* m_selected;
    QElapsedTimer m_clock;
    QList<qint64> m_changedAt;  // per row, on m_clock; parallel to *m_volumes
};
