#include "platform/FolderSize.h"

#include "platform/EntryIdentity.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace platform {

uint64_t folderSize(const QString& path)
{
    const std::string topPath = QFile::encodeName(path).toStdString();
    struct stat st{};
    if (::lstat(topPath.c_str(), &st) != 0)
        return 0;
    if (!S_ISDIR(st.st_mode))
        return static_cast<uint64_t>(st.st_size);

    // A bind mount of the same file system shares the device number; the
    // mount ID tells it apart.
    const auto top = entryIdentity(AT_FDCWD, topPath.c_str());
    if (!top)
        return 0;
    uint64_t total = 0;
    // Pending folders are kept as paths, not open descriptors: a folder with
    // a hundred thousand subfolders must not run out of descriptors.
    std::vector<std::string> pending{topPath};
    while (!pending.empty()) {
        const std::string dirPath = std::move(pending.back());
        pending.pop_back();
        const int dirFd = ::open(dirPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (dirFd < 0)
            continue;
        DIR* dir = ::fdopendir(dirFd);
        if (!dir) {
            ::close(dirFd);
            continue;
        }
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            struct stat es{};
            if (::fstatat(dirFd, name, &es, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISDIR(es.st_mode)) {
                const auto inner = entryIdentity(dirFd, name);
                if (inner && top->sameMount(*inner) && !inner->isMountRoot)
                    pending.push_back(dirPath + '/' + name);
            } else {
                total += static_cast<uint64_t>(es.st_size);
            }
        }
        ::closedir(dir);
    }
    return total;
}

}  // namespace platform
