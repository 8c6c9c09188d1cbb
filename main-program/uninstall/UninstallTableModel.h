#pragma once
#include "uninstall/AMAppItem.h"

#include <QAbstractTableModel>

#include <functional>

// The Uninstaller's list: tick box, icon with name and identifier, version,
// size (column 3, filled lazily) and a trash button per row.
class UninstallTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { CheckBox, AppName, Version, Size, Trash, ColumnCount };

    explicit UninstallTableModel(QObject* parent = nullptr);

    // The shown records and what the cells need to know of them.
    void setRecords(const AMAppItemList* shown) { m_shown = shown; }
    void setIsTicked(std::function<bool(const AMAppItem*)> isTicked) { m_isTicked = std::move(isTicked); }
    // Called the first time a row's size cell is asked for.
    void setSizeNeeded(std::function<void(const AMAppItemPtr&)> sizeNeeded) { m_sizeNeeded = std::move(sizeNeeded); }
    void setHighlightedRow(int row) { m_highlightedRow = row; }
    int highlightedRow() const { return m_highlightedRow; }
    void setNameTitle(const QString& title);
    QString nameTitle() const { return m_nameTitle; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void reload();
    // The one row's size cell, after its measurement landed.
    void sizeChanged(const AMAppItemPtr& item);

    // The record's icon, made on first use from its theme name or file.
    static QPixmap iconOf(AMAppItem& item);

private:
    const AMAppItemList* m_shown = nullptr;
    std::function<bool(const AMAppItem*)> m_isTicked;
    std::function<void(const AMAppItemPtr&)> m_sizeNeeded;
    int m_highlightedRow = -1;
    QString m_nameTitle;
};
