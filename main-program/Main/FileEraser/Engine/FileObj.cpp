#include "Main/FileEraser/Engine/FileObj.h"

#include <sys/stat.h>

void FileObj::setIsSymbolicLink()
{
    isSymbolicLink = isFileSymbolicLink(url);
}

bool FileObj::isFileSymbolicLink(const QString& path)
{
    struct stat st{};
    return ::lstat(path.toLocal8Bit().constData(), &st) == 0 && S_ISLNK(st.st_mode);
}
