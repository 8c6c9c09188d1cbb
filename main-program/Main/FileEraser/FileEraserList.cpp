#include "Main/FileEraser/FileEraserList.h"

#include "Comm/CommUti.h"
#include "Main/FileEraser/Engine/FolderExpansion.h"
#include "Main/FileEraser/Engine/SystemItems.h"
#include "platform/FileSystemInfo.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <sys/stat.h>

#include <algorithm>

namespace {

bool lstatPath(const QString& path, struct stat& st)
{
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

}  // namespace

FileEraserList::Refusal FileEraserList::refusalFor(const QString& path)
{
    // The one judgement the launcher makes too.
    if (SystemItems::isSystemItem(path))
        return Refusal::System;
    if (platform::isNtfs(path))
        return Refusal::Ntfs;
    return Refusal::None;
}

bool FileEraserList::contains(const QString& path) const
{
    return std::any_of(valueArr.cbegin(), valueArr.cend(), [&](const FileObjPtr& i) { return i->url == path; });
}

FileEraserList::AddOutcome FileEraserList::addPaths(const QStringList& chosen)
{
    AddOutcome outcome;
    if (chosen.isEmpty())
        return outcome;
    QStringList paths;
    for (const QString& p : chosen)
        paths << QDir::cleanPath(p);

    if (refusalFor(paths.first()) == Refusal::Ntfs) {
        outcome.ntfsPaths << paths.first();
        return outcome;
    }
    for (const QString& path : paths) {
        const Refusal refusal = refusalFor(path);
        if (refusal == Refusal::System) {
            outcome.systemPath = path;
            break;
        }
        if (contains(path))
            continue;
        if (refusal == Refusal::Ntfs) {
            outcome.ntfsPaths << path;
            continue;
        }
        // A link is listed as an item of its own, even one to a folder: the
        // link is erased, never what it points to.
        struct stat st{};
        const bool isDir = lstatPath(path, st) && S_ISDIR(st.st_mode);
        if (addFileToArr(path, isDir))
            ++outcome.added;
    }
    return outcome;
}

FileObjPtr FileEraserList::addFileToArr(const QString& path, bool isDir)
{
    if (platform::isNtfs(path))
        return nullptr;
    FileObjPtr item = FolderExpansion::buildFileObj(path, isDir);
    if (isDir)
        item->size = 0;
    valueArr.append(item);
    return item;
}

int FileEraserList::selectedCount() const
{
    return static_cast<int>(std::count_if(valueArr.cbegin(), valueArr.cend(), [](const FileObjPtr& i) { return i->isSelect; }));
}

int FileEraserList::returnSelectAllState() const
{
    const int ticked = selectedCount();
    if (ticked == 0)
        return kNoneSelected;
    return ticked == valueArr.size() ? kAllSelected : kSomeSelected;
}

FileEraserList::CountText FileEraserList::selectCountText() const
{
    CountText out;
    const int ticked = selectedCount();
    const int total = static_cast<int>(valueArr.size());
    if (ticked == 0) {
        out.text = (total < 2 ? QStringLiteral("Total: %1 Item") : QStringLiteral("Total: %1 Items")).arg(total);
        return out;
    }
    const QString prefix = QStringLiteral("Selected: ");
    const QString number = QString::number(ticked);
    out.text = prefix + number + QStringLiteral("/%1 Items").arg(total);
    out.boldStart = static_cast<int>(prefix.size());
    out.boldLength = static_cast<int>(number.size());
    return out;
}

void FileEraserList::setAllSelectOrNoSelect()
{
    if (valueArr.isEmpty())
        return;
    const bool tick = returnSelectAllState() != kAllSelected;
    for (const FileObjPtr& item : valueArr)
        item->isSelect = tick;
}

void FileEraserList::flipSelect(int row)
{
    if (row >= 0 && row < valueArr.size())
        valueArr[row]->isSelect = !valueArr[row]->isSelect;
}

FileObjList FileEraserList::sortedList(FileObjList items, int sortType, int sortAD)
{
    const bool descending = sortAD == SortChoice::descending;
    std::stable_sort(items.begin(), items.end(), [&](const FileObjPtr& a, const FileObjPtr& b) {
        const FileObj& x = descending ? *b : *a;
        const FileObj& y = descending ? *a : *b;
        if (sortType == SortChoice::byName)
            return QString::compare(x.name, y.name, Qt::CaseSensitive) < 0;
        return x.size < y.size;
    });
    return items;
}

void FileEraserList::applySorted(const FileObjList& sorted)
{
    const QSet<FileObj*> current = [this] {
        QSet<FileObj*> s;
        for (const FileObjPtr& i : valueArr)
            s.insert(i.get());
        return s;
    }();
    QSet<FileObj*> inSorted;
    FileObjList next;
    for (const FileObjPtr& i : sorted) {
        inSorted.insert(i.get());
        if (current.contains(i.get()))
            next.append(i);
    }
    for (const FileObjPtr& i : valueArr)
        if (!inSorted.contains(i.get()))
            next.append(i);
    valueArr = next;
}

FileObjList FileEraserList::buildRunList() const
{
    return FolderExpansion::buildRunList(valueArr);
}

FileObjList FileEraserList::takeJudgedItems()
{
    FileObjList judged;
    FileObjList kept;
    for (const FileObjPtr& item : valueArr) {
        if (!item->isSelect) {
            kept.append(item);
            continue;
        }
        // Gone from its path is not enough: a name the engine could not
        // reach (one that is not valid in the locale's encoding, say) is not
        // found either, and a file cut short in its tool may live on under its
        // random name. Only what the engine did not fail counts as erased.
        struct stat st{};
        const bool gone = ::lstat(item->pathBytes().constData(), &st) != 0;
        item->failStr = gone && item->failStr != Outcome::fail ? Outcome::erased : Outcome::failed;
        judged.append(item);
    }
    valueArr = kept;
    return judged;
}

QString FileEraserList::byteToSizeWithByte(uint64_t bytes)
{
    return CommUti::longlongDiskSize(static_cast<int64_t>(bytes));
}

QString redirectRootHomePath(const QString& path, const QString& rootHome, const QString& userHome)
{
    const QString root = QDir::cleanPath(rootHome);
    if (root.isEmpty() || root == QLatin1String("/"))
        return QString();
    if (path != root && !path.startsWith(root + QLatin1Char('/')))
        return QString();
    const QString rest = path.mid(root.size());
    for (const char* folder : {"/Desktop", "/Downloads", "/Documents"}) {
        const QString f = QLatin1String(folder);
        if (rest == f || rest.startsWith(f + QLatin1Char('/')))
            return userHome + rest;
    }
    return userHome + QStringLiteral("/Desktop");
}
