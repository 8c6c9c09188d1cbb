#pragma once
#include <QDateTime>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

// What removing an item means on this platform.
enum class AppKind {
    Path,      // a file or folder removed as itself (leftovers, widgets, plug-ins)
    Package,   // a desktop entry of a package: the package manager removes it
    Flatpak,   // removed by flatpak
    AppImage,  // the AppImage file, with the entries and links pointing at it
    OptFolder, // a folder under /opt, with the entries and links pointing into it
    PackageConfig, // the configuration files a package keeps (`configFiles`): ticked, its removal is a purge
};

// One removable thing, or one file that belongs to it. Shared by pointer:
// the same record sits in a tab's full list, its shown list and its ticked
// list, and membership is identity.
class AMAppItem
{
public:
    AMAppItem();
    // Despite its name the first argument is the icon image.
    AMAppItem(const QPixmap& infoDictionary, const QString& name, const QString& path, const QString& bundleID,
              const QString& bundleVersion, const QDateTime& date, const QString& isSystemAppStr,
              const QString& size);
    // A new record from the receiver's image, texts and date; the flags start
    // NO, so a copy loses isSystemApp and measures its size again.
    std::shared_ptr<AMAppItem> copy() const;

    QPixmap image;
    QString name;
    QString path;
    QString bundleID;  // null when the item has none
    bool isSystemApp = false;
    QString bundleVersion;
    QDateTime date;
    bool bIsSelected = false;  // never read: ticks live in the ticked lists
    QString isSystemAppStr;
    QString size;              // "0KB" until measured
    std::atomic<bool> bIsGetSize{false};

    // Linux: how it is removed, and what goes with it.
    AppKind kind = AppKind::Path;
    QString packageName;       // the owning package (AppKind::Package)
    bool flatpakUser = false;  // a Flatpak of the user's own installation
    QString executable;        // the program the entry starts
    QStringList programs;      // the programs its entries start, links resolved
    QString iconName;          // theme name or file of the icon; the image is made on the main thread
    QStringList companions;    // desktop entries and links that point into the path
    uint64_t knownBytes = 0;   // a size known without a walk (a package's installed size)
    bool hasKnownSize = false;
    // In a group of related files: ticked when the confirmation opens.
    bool defaultTicked = true;
    // A package's removal as the package manager plans it: every package
    // that would go, shown to the user before anything is removed, and the
    // space that frees (the installed sizes of them all, as apt counts it).
    // Empty while unknown; `planPending` while apt-get is still being asked.
    QStringList alsoRemoves;
    uint64_t planBytes = 0;
    bool planPending = false;
    // The removal was refused before it started (`failReason` says why):
    // the record cannot be ticked.
    bool blocked = false;
    // Filled by the remover: what removing it freed, piece by piece (a
    // package by its name, a path by where it really was, so a run counts
    // each once), where it really was (links in its folders resolved), and
    // why it failed.
    uint64_t freedBytes = 0;
    QList<std::pair<QString, uint64_t>> freedParts;
    QString canonicalPath;
    QString failReason;
    // Failed, but part of it is gone (`freedBytes` of it).
    bool partlyRemoved = false;

    // A leftover's program (the first record of its group): the leftover is
    // removed only once the program has gone, else it is kept and says so.
    std::weak_ptr<AMAppItem> program;
    // Kept by the remover because its program is still there (`failReason`
    // says which and why).
    bool keptForProgram = false;
    // AppKind::PackageConfig: the files, as dpkg lists them.
    QStringList configFiles;
};

using AMAppItemPtr = std::shared_ptr<AMAppItem>;
using AMAppItemList = QList<AMAppItemPtr>;
// One item chosen for removal followed by its related files.
using AMAppGroup = AMAppItemList;

// The texts isSystemAppStr holds.
inline const QString kYesText = QStringLiteral("YES");
inline const QString kNoText = QStringLiteral("NO");
inline const QString kUnmeasuredSize = QStringLiteral("0KB");
