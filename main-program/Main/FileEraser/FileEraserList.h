#pragma once
#include "Main/FileEraser/Engine/FileObj.h"
#include "Main/FileEraser/SortChoice.h"

#include <QString>
#include <QStringList>

// The Erase Files/Folders list without its widgets: what the screen adds,
// ticks, sorts, hands to the engine and records at the end of a run.
class FileEraserList
{
public:
    // Why a path was not taken into the list.
    enum class Refusal {
        None,
        System,  // "/" itself, a pseudo file system, a device node: ends the adding
        Ntfs,    // on an NTFS volume, which cannot be written here
    };

    struct AddOutcome
    {
        int added = 0;
        QStringList ntfsPaths;  // refused, the adding went on (or, for the first path, stopped)
        QString systemPath;     // the path that ended the adding, if one did
    };

    FileObjList valueArr;

    // Adds the chosen or dropped paths in order: an NTFS first path adds
    // nothing; "/" (or any system path) ends the adding, keeping what came
    // before it; a path already listed is skipped.
    AddOutcome addPaths(const QStringList& paths);
    // One item for a path, appended; null (and nothing appended) on NTFS.
    FileObjPtr addFileToArr(const QString& path, bool isDir);
    bool contains(const QString& path) const;

    static Refusal refusalFor(const QString& path);

    // The tick state, as the number the screen reads.
    static constexpr int kNoneSelected = 0;  // or an empty list
    static constexpr int kSomeSelected = 1;
    static constexpr int kAllSelected = 2;
    int returnSelectAllState() const;
    int selectedCount() const;

    // "Selected: %d/%d Items" (the ticked number to be shown in bold) or
    // "Total: %d Item(s)".
    struct CountText
    {
        QString text;
        int boldStart = -1;  // -1: no bold part
        int boldLength = 0;
    };
    CountText selectCountText() const;

    // Select all: unticks all when all are ticked, else ticks all. Nothing for an empty list.
    void setAllSelectOrNoSelect();
    void flipSelect(int row);

    // By name (literal, case-sensitive) for SortChoice::byName, by size for
    // any other key. Stable, so equal keys keep their order.
    static FileObjList sortedList(FileObjList items, int sortType, int sortAD);
    // Puts a sorted copy in place. Items added since the copy was taken
    // follow the sorted ones; items that left the list since stay out.
    void applySorted(const FileObjList& sorted);

    // Ticked top-level items, each folder's contents first.
    FileObjList buildRunList() const;

    // The end of a run: every ticked item is judged "Failed" when its path
    // still exists (the path itself, a link is not followed), else "Erased",
    // and leaves the list. Returns the judged items in list order.
    FileObjList takeJudgedItems();

    static QString byteToSizeWithByte(uint64_t bytes);
};

// Where the open panel goes instead of a folder in root's home: root's own
// Desktop, Downloads and Documents become the invoking user's. `rootHome`
// is removed only as the leading prefix. Empty when `path` is not inside
// root's home; the user's Desktop (the panel's usual start) for any other
// place in it, which has no counterpart of the user's.
QString redirectRootHomePath(const QString& path, const QString& rootHome, const QString& userHome);
