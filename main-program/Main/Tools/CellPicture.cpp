#include "Main/Tools/CellPicture.h"

#include <QIcon>

QPixmap cellPicture(const QModelIndex& index, int iconSize, const QPixmap& fallback)
{
    const QVariant v = index.data(Qt::DecorationRole);
    if (v.userType() == QMetaType::QPixmap && !v.value<QPixmap>().isNull())
        return v.value<QPixmap>();
    if (v.userType() == QMetaType::QIcon && !v.value<QIcon>().isNull())
        return v.value<QIcon>().pixmap(iconSize, iconSize);
    if (v.userType() == QMetaType::QImage)
        return QPixmap::fromImage(v.value<QImage>());
    return fallback;
}
