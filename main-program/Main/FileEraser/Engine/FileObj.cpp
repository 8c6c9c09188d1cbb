#include "Main/FileEraser/Engine/FileObj.h"

#include <QFile>

#include <sys/stat.h>

QByteArray FileObj::pathBytes() const
{
    return urlBytes.isEmpty() ? QFile::encodeName(url) : urlBytes;
}

void FileObj::setIsSymbolicLink()
{
    struct stat st{};
    isSymbolicLink = ::lstat(pathBytes().constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool FileObj::isFileSymbolicLink(const QString& path)
{
    struct stat st{};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}
