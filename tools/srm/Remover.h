#pragma once
#include "FileSystem.h"
#include "Options.h"
#include "Overwrite.h"
#include "Report.h"

#include <string>
#include <unordered_set>
#include <vector>

class Random;

// Overwrites and removes what the command line names.
//
// The files of one folder go together, in batches: each file gets every pass,
// each pass on the device before the next; then all are truncated, all renamed
// with one sync of the folder, all unlinked with one more. Only then are they
// reported gone. Per-file syncs of the names would cost several journal commits
// per file, which is most of the time a tree of small files takes.
class Remover
{
public:
    Remover(const Options& options, Random& random, Report& report);

    // True when every path is gone afterwards (or was never there, with -f).
    // `expected` is empty or holds each path's identity as its caller listed it.
    bool removeArguments(const std::vector<std::string>& paths, const std::vector<Identity>& expected = {});

private:
    struct Item
    {
        std::string name;  // in its folder; the hiding name once renamed
        std::string shown;
        Entry entry;
        Target target;     // for a regular file, once opened
        bool failed = false;
        bool hidden = false;  // renamed to a random name
    };

    // A folder whose entries are being removed.
    struct Folder
    {
        Entry entry;
        std::vector<Item> pending;           // waiting for the next batch
        off_t pendingBytes = 0;
        std::vector<std::string> goneFolders; // removed subfolders, told once this folder is synced
        std::unordered_set<std::string> leftAlone;  // names that stay: not tried again
        std::string whyNamesStay;            // why nothing here can be removed, once known
        bool checked = false;
        bool failed = false;
    };

    bool removeFolder(int parentFd, const std::string& name, const Entry& entry, const std::string& shown);
    void enqueue(int dirFd, Folder& folder, Item item);
    // Removes the folder's pending items; false when any stays.
    bool flush(int dirFd, Folder& folder);
    bool openForShred(int dirFd, Item& item);
    void overwrite(std::vector<Item*>& items);
    void overwriteTogether(std::vector<Item*>& group, const std::vector<Pass>& passes);
    void failItem(Item& item, const std::string& why);
    void tellGoneFolders(int dirFd, Folder& folder);

    const std::string& whyNamesStay(int dirFd, Folder& folder);
    int openFolder(int dirFd, const std::string& name);
    // 0 or the errno value.
    int unlinkEntry(int dirFd, const std::string& name, int flags);
    // Whether `name` in `dirFd` is still the entry `expected` (not following a link).
    static bool sameEntryAt(int dirFd, const std::string& name, const Entry& expected);
    // The same for an item about to be renamed or unlinked; when not, the item
    // fails and says why.
    bool stillAtName(int dirFd, Item& item);
    void makeRemovable(int dirFd, const std::string& name);
    void prepareFolder(int fd);

    void fail(const std::string& shown, const std::string& why);
    void failErrno(const std::string& shown, const char* what, int err);

    const Options& m_options;
    Random& m_random;
    Report& m_report;
    Overwriter m_overwriter;
    size_t m_batchLimit = 1;
};
