#include "platform/RemoveTree.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

namespace {

int removeEntry(const char* path, const struct stat*, int type, struct FTW*)
{
    const int rc = (type == FTW_DP) ? ::rmdir(path) : ::unlink(path);
    // Keep going: what can be removed is removed, the caller checks the top.
    (void)rc;
    return 0;
}

}  // namespace

bool removeTree(const QString& path)
{
    const QByteArray p = path.toLocal8Bit();
    struct stat st{};
    if (::lstat(p.constData(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(p.constData()) == 0;
    ::nftw(p.constData(), removeEntry, 64, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
    return ::lstat(p.constData(), &st) != 0 && errno == ENOENT;
}

}  // namespace platform
