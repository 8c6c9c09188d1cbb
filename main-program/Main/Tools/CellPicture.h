#pragma once
#include <QModelIndex>
#include <QPixmap>

// The row's own picture (its decoration role, a pixmap or an icon taken at
// `iconSize`), else `fallback`, the picture set on the cell.
QPixmap cellPicture(const QModelIndex& index, int iconSize, const QPixmap& fallback);
