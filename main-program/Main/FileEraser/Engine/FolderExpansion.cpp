#include "Main/FileEraser/Engine/FolderExpansion.h"

#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

namespace FolderExpansion {

namespace {

QStringList entriesOf(const QString& folder)
{
    QStringList names;
    DIR* dir = ::opendir(folder.toLocal8Bit().constData());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        names << QString::fromLocal8Bit(n);
    }
    ::closedir(dir);
    return names;
}

}  // namespace

FileObjPtr buildFileObj(const QString& path, bool isDir)
{
    auto item = std::make_shared<FileObj>();
    const QFileInfo info(path);
    item->name = info.fileName();
    item->url = path;
    struct stat st{};
    if (::lstat(path.toLocal8Bit().constData(), &st) == 0)
        item->size = st.st_size;
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
    struct stat top{};
    if (::lstat(folder->url.toLocal8Bit().constData(), &top) != 0 || !S_ISDIR(top.st_mode))
        return;

    // An explicit stack of open folders replaces the recursion: each frame
    // holds its folder item and the entries still to visit.
    struct Frame
    {
        FileObjPtr item;  // null for the top folder, which the caller appends
        QStringList entries;
        qsizetype next = 0;
    };
    std::vector<Frame> stack;
    stack.push_back({nullptr, entriesOf(folder->url)});
    std::vector<QString> paths{folder->url};

    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.entries.size()) {
            if (frame.item)
                out.append(frame.item);  // contents first, then the folder
            stack.pop_back();
            paths.pop_back();
            continue;
        }
        const QString child = paths.back() + QLatin1Char('/') + frame.entries.at(frame.next++);
        struct stat st{};
        const bool isRealDir = ::lstat(child.toLocal8Bit().constData(), &st) == 0 && S_ISDIR(st.st_mode);
        auto item = buildFileObj(child, true);
        // A mount point inside the tree is not entered: as a folder with
        // entries, the engine marks it failed and leaves it alone.
        if (isRealDir && st.st_dev == top.st_dev) {
            stack.push_back({item, entriesOf(child)});
            paths.push_back(child);
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
        if (item->isDir && QFileInfo(item->name).suffix() != QLatin1String("app"))
            eumeAllArrWithFileObj(item, run);
        run.append(item);
    }
    return run;
}

}  // namespace FolderExpansion
