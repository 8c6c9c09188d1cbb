#pragma once
#include "Main/FileEraser/FileEraserList.h"

#include <QAbstractTableModel>

// The list's table: tick box, reveal, name, path, size, type.
class FileEraserTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { CheckBox, Search, Name, Path, Size, Type, ColumnCount };

    explicit FileEraserTableModel(const FileEraserList* list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void reload();

    // "--" for a folder, else the size text.
    static QString sizeText(const FileObj& item);

private:
    const FileEraserList* m_list;
};
