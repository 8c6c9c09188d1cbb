#pragma once
#include "FileSystem.h"
#include "Options.h"
#include "Overwrite.h"
#include "Report.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

class Random;

// Overwrites and removes what the command line names.
//
// Files go in batches that may span many small folders (and consecutive
// paths anywhere on one volume): each file gets every pass, each pass on the
// device before the next, with one sync for the whole batch per pass; then all
// are truncated, renamed and unlinked (and the folders they emptied removed),
// with one sync for all of that. Only then are they reported gone. Syncing
// per file or per folder would cost journal commits that are most of the time
// a tree of small files takes. The last sync of a batch runs while the next
// batch is overwritten: the order that proves anything (overwrite on the
// device before the name goes, each pass before the next) holds within every
// batch, and the batches do not depend on each other.
class Remover
{
public:
    Remover(const Options& options, Random& random, Report& report);
    ~Remover();

    // True when every path is gone afterwards (or was never there, with -f).
    // `expected` is empty or holds each path's identity as its caller listed it.
    bool removeArguments(const std::vector<std::string>& paths, const std::vector<Identity>& expected = {});

private:
    // A folder that names are removed from. Held open while anything of it
    // waits in a batch, so that a folder closed by the walk is still reached
    // by the descriptor it was checked through.
    struct Folder
    {
        int fd = -1;
        Entry entry;
        std::unordered_set<std::string> leftAlone;  // names that stay: not tried again
        std::string whyNamesStay;                   // why nothing here can be removed, once known
        bool checked = false;
        bool failed = false;    // something in it stays, so it stays too
        bool reported = false;  // its own record has been written

        Folder() = default;
        Folder(const Folder&) = delete;
        Folder& operator=(const Folder&) = delete;
        ~Folder();
    };
    using FolderPtr = std::shared_ptr<Folder>;

    // One entry to remove: a file, link or other node, or a folder whose
    // contents went before it in the batch.
    struct Item
    {
        std::string name;  // in `in`; the hiding name once renamed
        std::string shown;
        Entry entry;
        FolderPtr in;
        FolderPtr emptied;  // set for a folder: itself, as it was walked
        Target target;      // for a regular file, once opened
        bool failed = false;
        bool hidden = false;   // renamed to a random name
        bool removed = false;  // its name is gone; told once that is on the device
    };

    // The last sync of a batch, on a thread of its own; what it settles is
    // told when it has ended.
    struct Settling
    {
        std::thread thread;
        std::vector<int> fds;  // its own descriptors of the folders to sync
        bool everyFolder = false;
        int error = 0;
        std::vector<std::string> gone;
    };

    void removeFolder(const FolderPtr& parent, const std::string& name, const Entry& entry, const std::string& shown);
    // Adds to the batch; works the batch off when it is full.
    void enqueue(Item item);
    bool inBatch(const Entry& entry) const;
    // Works off the whole batch: overwrite, rename, unlink; the last sync is
    // left running (see settle).
    void drain();
    // Waits for the running last sync and tells what it settled.
    void settle();
    // Empty when the file is open for its passes, else why it stays. Touches
    // nothing but the item: safe on any thread.
    std::string openForShred(int dirFd, Item& item);
    // job(i, a random source of the thread's own) for every i below count, on a
    // few threads when there is enough to do.
    static void sideBySide(size_t count, const std::function<void(size_t, Random&)>& job);
    void overwrite(std::vector<Item*>& items);
    void overwriteTogether(std::vector<Item*>& group, const std::vector<Pass>& passes);
    void removeEmptied(Item& item, bool stopped);
    void failItem(Item& item, const std::string& why);

    const std::string& whyNamesStay(Folder& folder);
    int openFolder(int dirFd, const std::string& name);
    // 0 or the errno value.
    int unlinkEntry(int dirFd, const std::string& name, int flags);
    // Whether `name` in `dirFd` is still the entry `expected` (not following a link).
    static bool sameEntryAt(int dirFd, const std::string& name, const Entry& expected);
    // Empty when an item about to be renamed or unlinked is still at its name,
    // else why it fails. Safe on any thread.
    static std::string whyNotAtName(const Item& item);
    // Truncates, renames and unlinks one item; empty when its name is gone, else
    // why it stays. Touches nothing but the item: safe on any thread.
    // `closeFirst`: the file's descriptor is closed before its unlink.
    std::string removeName(Item& item, Random& random, bool closeFirst);
    void makeRemovable(int dirFd, const std::string& name);
    void prepareFolder(int fd);

    void fail(const std::string& shown, const std::string& why);
    void failErrno(const std::string& shown, const char* what, int err);

    const Options& m_options;
    Random& m_random;
    Report& m_report;
    Overwriter m_overwriter;
    bool m_allGone = true;
    size_t m_openFolders = 2;  // folders the walk holds open at once
    size_t m_batchLimit = 1;   // descriptors a batch may hold
    size_t m_batchGoal = 1;    // descriptors at which this batch is worked off
    off_t m_batchBytesGoal = 0;  // bytes likewise
    std::vector<Item> m_batch;
    size_t m_batchFds = 0;
    off_t m_batchBytes = 0;
    std::set<std::pair<dev_t, ino_t>> m_inBatch;
    std::unique_ptr<Settling> m_settling;
};
