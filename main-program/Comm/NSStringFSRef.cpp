#include "Comm/NSStringFSRef.h"

#include <QFileInfo>

FSRef fsref(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    return {info.absoluteFilePath()};
}
