#include "Main/FileEraser/Engine/FolderExpansion.h"

#include "platform/EntryIdentity.h"

#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace FolderExpansion {

namespace {

struct Entry
{
    QByteArray name;
    struct stat st{};
    bool descend = false;  // a real folder on the top folder's mount
};

// The entries of one folder, described relative to the open folder so that
// what is described is what was listed. The folder is closed again at once:
// a tree a thousand folders deep must not hold a thousand descriptors.
std::vector<Entry> entriesOf(const QByteArray& folder, const platform::EntryIdentity& top)
{
    std::vector<Entry> entries;
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return entries;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return entries;
    }
    while (const dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        Entry entry;
        entry.name = QByteArray(n);
        if (::fstatat(fd, n, &entry.st, AT_SYMLINK_NOFOLLOW) != 0)
            entry.st = {};
        if (S_ISDIR(entry.st.st_mode)) {
            // A bind mount of the same file system shares the device number;
            // only the mount ID tells it from the folder it sits in.
            const auto id = platform::entryIdentity(fd, n);
            entry.descend = id && top.sameMount(*id) && !id->isMountRoot;
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return entries;
}

// A run-list entry: no icon and no type lookup, so the expansion can run
// away from the GUI thread and costs one stat per entry.
FileObjPtr runEntry(const QByteArray& path, const QByteArray& name, const struct stat& st)
{
    auto item = std::make_shared<FileObj>();
    item->urlBytes = path;
    item->url = QFile::decodeName(path);
    item->name = QFile::decodeName(name);
    item->size = st.st_size;
    item->isDir = true;  // the folder flag, as for every expanded entry
    if (S_ISDIR(st.st_mode)) {
        item->type = QStringLiteral("Folder");
    } else {
        const qsizetype dot = item->name.lastIndexOf(QLatin1Char('.'));
        if (dot > 0)
            item->type = item->name.mid(dot + 1);
    }
    item->isSelect = true;
    item->isSymbolicLink = S_ISLNK(st.st_mode);
    if (st.st_ino != 0) {
        item->hasIdentity = true;
        item->device = st.st_dev;
        item->inode = st.st_ino;
    }
    item->setIsSSD();
    return item;
}

}  // namespace

FileObjPtr buildFileObj(const QString& path, bool isDir)
{
    auto item = std::make_shared<FileObj>();
    const QFileInfo info(path);
    item->name = info.fileName();
    item->url = path;
    struct stat st{};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0) {
        item->size = st.st_size;
        item->hasIdentity = true;
        item->device = st.st_dev;
        item->inode = st.st_ino;
    }
    if (isDir) {
        item->icon = QIcon::fromTheme(QStringLiteral("folder"));
        item->type = QStringLiteral("Folder");
    } else {
        static const QMimeDatabase mimes;
        item->icon = QIcon::fromTheme(mimes.mimeTypeForFile(info, QMimeDatabase::MatchExtension).iconName());
        item->type = info.suffix();
    }
    item->isDir = isDir;
    item->isSelect = true;
    item->setIsSymbolicLink();
    item->setIsSSD();
    return item;
}

void eumeAllArrWithFileObj(const FileObjPtr& folder, FileObjList& out)
{
    const QByteArray topPath = folder->pathBytes();
    const auto top = platform::entryIdentity(AT_FDCWD, topPath.constData());
    if (!top || !S_ISDIR(top->mode) || top->isMountRoot)
        return;

    // An explicit stack replaces the recursion: each frame holds its folder
    // item and the entries still to visit.
    struct Frame
    {
        FileObjPtr item;  // null for the top folder, which the caller appends
        QByteArray path;
        std::vector<Entry> entries;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    stack.push_back({nullptr, topPath, entriesOf(topPath, *top)});

    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.entries.size()) {
            if (frame.item)
                out.append(frame.item);  // contents first, then the folder
            stack.pop_back();
            continue;
        }
        const Entry& entry = frame.entries[frame.next++];
        QByteArray child = frame.path;
        child += '/';
        child += entry.name;
        FileObjPtr item = runEntry(child, entry.name, entry.st);
        // A mount point inside the tree is not entered: the engine leaves it
        // alone and reports it failed.
        if (entry.descend) {
            std::vector<Entry> inner = entriesOf(child, *top);
            stack.push_back({std::move(item), std::move(child), std::move(inner)});
        } else {
            out.append(item);
        }
    }
}

FileObjList buildRunList(const FileObjList& items)
{
    FileObjList run;
    for (const FileObjPtr& item : items) {
        if (!item->isSelect)
            continue;
        // A folder's name means nothing here: one called "*.app" is a folder
        // like any other, and is shredded entry by entry.
        if (item->isDir)
            eumeAllArrWithFileObj(item, run);
        run.append(item);
    }
    return run;
}

}  // namespace FolderExpansion
