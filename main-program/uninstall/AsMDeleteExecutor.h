#pragma once
#include "platform/InvokingUser.h"
#include "uninstall/AMAppItem.h"
#include "uninstall/PackageTools.h"

#include <QFuture>
#include <QHash>
#include <QSet>

// Both operations are required. They are called on the remover's thread;
// the delegate hands its work to the main thread itself.
class AsMDeleteExecutorDelegate
{
public:
    virtual ~AsMDeleteExecutorDelegate() = default;
    // The record's path is gone (or its package is no longer installed).
    virtual void deleteRelatedFile(const AMAppItemPtr& item) = 0;
    // It is not; `item->failReason` says why.
    virtual void deleteRelatedFileFail(const AMAppItemPtr& item) = 0;
    // Its removal starts (a package's may take a while).
    virtual void willDeleteRelatedFile(const AMAppItemPtr& item) { (void)item; }
};

// Removes a list of records one after another on a background thread and
// reports each. A package goes through the package manager, a Flatpak
// through flatpak, anything else as a path: never through a link, never into
// another mount, and inside the invoking user's home as that user, so the
// kernel keeps the removal within what the user may touch. A record counts
// as removed only when it is really gone; no permission is loosened and no
// forced removal is tried when the plain one fails.
class AsMDeleteExecutor
{
public:
    AsMDeleteExecutor();
    // Waits for a run still going.
    ~AsMDeleteExecutor();

    void setDelegate(AsMDeleteExecutorDelegate* delegate) { m_delegate = delegate; }
    AsMDeleteExecutorDelegate* delegate() const { return m_delegate; }
    void setTools(const PackageTools& tools) { m_tools = tools; }
    void setUser(const platform::InvokingUser& user) { m_user = user; }

    // Copies the list and returns at once; the records are removed in order,
    // except that leftovers (records with a `program`) wait until every
    // item has been tried: a leftover goes only once its program has gone.
    // A ticked configuration-files record makes its package's removal a purge.
    void executeDelete(const AMAppItemList& items);
    // Blocks until the current run has ended.
    void waitForDone();
    // Removes one record now, on the caller's thread, and reports it.
    bool removeTrahFile(const AMAppItemPtr& item);

    // Asks the package manager what removing the record's package would
    // remove and stores it in `alsoRemoves` (and the space it frees in
    // `planBytes`), for the user to see. False (with `failReason`) when it
    // cannot be removed: the plan fails, or it would take a package the
    // system needs. Takes seconds: never on the main thread.
    static bool planPackageRemoval(AMAppItem& item, const PackageTools& tools);

private:
    bool removePackage(AMAppItem& item);
    bool removeConfig(AMAppItem& item);
    // Is the leftover's program gone (removed in this run, or not there)?
    bool programGone(const AMAppItem& program) const;
    bool runApt(AMAppItem& item, const QString& verb);
    bool removeFlatpak(AMAppItem& item);
    bool removePath(AMAppItem& item, const QString& path);
    bool fail(AMAppItem& item, const QString& why);

    AMAppItemList m_trashFiles;
    AsMDeleteExecutorDelegate* m_delegate = nullptr;
    PackageTools m_tools;
    platform::InvokingUser m_user;
    QFuture<void> m_run;
    // Of the current run: what went, what was tried, which packages are purged.
    QSet<const AMAppItem*> m_gone;
    QSet<const AMAppItem*> m_tried;
    QSet<QString> m_purge;
    // Configuration files as they were before the run (a purge takes them
    // with the package): each with its size.
    QHash<const AMAppItem*, QList<std::pair<QString, uint64_t>>> m_configBefore;
};
