#include "Main/FileEraser/FileEraserTableModel.h"

#include "ToolCon/DarkLook.h"

#include "Main/Tools/ListIcons.h"
#include "platform/ImageStore.h"

#include <QColor>

FileEraserTableModel::FileEraserTableModel(const FileEraserList* list, QObject* parent)
    : QAbstractTableModel(parent), m_list(list)
{
}

int FileEraserTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_list->valueArr.size());
}

int FileEraserTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString FileEraserTableModel::sizeText(const FileObj& item)
{
    return item.isDir ? QStringLiteral("--") : FileEraserList::byteToSizeWithByte(static_cast<uint64_t>(item.size));
}

QVariant FileEraserTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_list->valueArr.size())
        return {};
    const FileObj& item = *m_list->valueArr.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case Name: return item.name;
        case Path: return item.url;
        case Size: return sizeText(item);
        case Type: return item.type;
        default: return {};
        }
    case Qt::ToolTipRole:
        // Names are the user's: shown as they stand, never as markup.
        switch (column) {
        case Name: return DarkLook::plainToolTip(item.name);
        case Path: return DarkLook::plainToolTip(item.url);
        case Size: return item.isDir ? QVariant() : QVariant(sizeText(item));
        case Type: return item.type;
        default: return {};
        }
    case Qt::DecorationRole:
        if (column == CheckBox)
            return platform::iconNamed(item.isSelect ? QStringLiteral("checkbox_yes") : QStringLiteral("checkbox_no"));
        if (column == Search)
            return platform::iconNamed(QStringLiteral("search"));
        if (column == Name)
            return item.icon.isNull() ? ListIcons::iconFor(item.url, item.isDir) : item.icon;
        return {};
    case Qt::CheckStateRole:
        // Shown while the tick-box pictures are missing, so a tick is never invisible.
        if (column == CheckBox && !platform::hasImage(QStringLiteral("checkbox_yes")))
            return item.isSelect ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::ForegroundRole:
        if (column == Name)
            return QColor(Qt::white);
        if (column == Path || column == Size)
            return QColor(255, 255, 255, 153);
        return {};
    default:
        return {};
    }
}

QVariant FileEraserTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name: return QStringLiteral("Name");
    case Path: return QStringLiteral("Path");
    case Size: return QStringLiteral("Size");
    case Type: return QStringLiteral("Type");
    default: return QString();
    }
}

void FileEraserTableModel::reload()
{
    beginResetModel();
    endResetModel();
}
