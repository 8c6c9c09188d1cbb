#pragma once
#include "uninstall/AMAppItem.h"
#include "uninstall/PackageTools.h"

#include <QDateTime>
#include <QStringList>

// Where leftovers are looked for: the invoking user's folders (never root's
// home or HOME) and the system's. Tests pass fixture folders.
struct RelatedRoots
{
    QString home;
    QString downloads;  // the XDG Downloads folder
    QString etc = QStringLiteral("/etc");
    QString varCache = QStringLiteral("/var/cache");
    QString varLib = QStringLiteral("/var/lib");
    QString varLog = QStringLiteral("/var/log");
    PackageTools tools;

    // For the user whose home is `home`: Downloads from ~/.config/user-dirs.dirs.
    static RelatedRoots forHome(const QString& home);
    // The folders whose matches start unticked: they hold the user's own
    // files or the system's.
    QStringList untickedFolders() const;
};

// Class operations only; never instantiated.
class RelatedAppFilesScanner
{
public:
    RelatedAppFilesScanner() = delete;

    // A record of a plain path: name = last component, no identifier. The
    // flag is not read.
    static AMAppItemPtr getAppItemWithFilePath(const QString& path, int appFlag);
    // The same with size "0KB" (the scan).
    static AMAppItemPtr constructItem(const QString& path, int appFlag);
    // The same with its size measured at once (the related-file finder).
    static AMAppItemPtr aConstructItem(const QString& path, int appFlag);
    // The size text of everything at the path, links not followed.
    static QString getFileSizeItem(const QString& path);
    // A size text that shows a few bytes as bytes ("12 byte", never
    // "0.00 KB"), and the bytes read back from any size text.
    static QString sizeText(uint64_t bytes);
    static uint64_t bytesOf(const QString& text);
    // Birth time of the path, else its change time.
    static QDateTime creationDate(const QString& path);

    // The group of `item`: the item itself, then the entries of the user's
    // and the system's folders whose names begin with its name or identifier
    // (case-insensitive, with and without spaces, one level deep). System
    // entries that a package owns are left out. Only entries named exactly
    // as the program (its name, executable or identifier) start ticked; links,
    // longer names, matches in Downloads, /etc and /var, folders the desktop
    // shares (fonts, icons, Trash...), and names that the patterns in
    // `otherPatterns` (other installed programs) claim start unticked. No path
    // stands twice.
    static AMAppGroup relatedFilesToApplication(const AMAppItemPtr& item, const RelatedRoots& roots,
                                                const QStringList& otherPatterns = {});
    // The groups of several items, in their order, with one ownership
    // question to the package manager for them all.
    static QList<AMAppGroup> relatedFilesToApplications(const AMAppItemList& items, const RelatedRoots& roots,
                                                        const QStringList& otherPatterns = {});

    // The patterns an item is matched by: its name, then its identifier
    // (none when either is missing, as an item without them has no leftovers).
    static QStringList patternsFor(const AMAppItem& item);
    // Does `entryName` begin with `pattern` (or it without spaces), in any case?
    static bool matches(const QString& entryName, const QString& pattern);
    // Is `entryName` one of `names`, in any case, with or without their spaces?
    static bool isOwnName(const QString& entryName, const QStringList& names);
};
