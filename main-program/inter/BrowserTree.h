#pragma once
#include "inter/BrowerObj.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

class BrowserData;

// An application the desktop announces for the user (its entry's Name,
// Icon and the program it starts).
struct InstalledApp
{
    QString name;
    QString icon;
    QString program;  // the file name of the program it starts
    // Where the entry came from and how it starts, to tell a browser of
    // the system from one packed with its own profile (Flatpak, Snap).
    QString entryFile;
    QString exec;
    QString flatpakId;
};

// The browser tree: which installed applications are browsers, their
// categories from EraserHistory.plist, and the ticks.
namespace BrowserTree {

// Tested in this order, case-sensitively, as parts of an application's name.
const QStringList& browserWords();

// EraserHistory.plist from the installed resources; empty when missing.
QVariantMap loadEraserHistory(const QString& path = QString());

// The applications the desktop announces for the user in `roots` (the
// Uninstaller's walk, CommUti::applicationPaths).
QList<InstalledApp> installedApps(const QStringList& roots);

// The browser word an application stands for, empty when it is none this
// program cleans: the first word its name holds (in the order the measures
// are chosen), and only when it starts that browser's own program from the
// system, so its profile is the one EraserHistory.plist names. Anything
// naming Safari (which has no Linux version), Flatpak and Snap builds (their
// profiles live elsewhere) and launchers of other programs are none.
QString browserWordOf(const InstalledApp& app);

// Whether an entry starts its program with nothing but the files or
// addresses it is handed (no private window, profile or other mode).
bool startsPlainly(const InstalledApp& app);

// The path of the program an entry starts, as its Exec line gives it.
QString programPathOf(const InstalledApp& app);

// The browser rows for `apps`, in their order, without categories: one per
// application that stands for a browser. A browser whose profile an earlier
// one already stands for is not listed again: two rows never clean the same
// profile. Firefox keeps a profile per installation, so each installation
// (its folder, links followed) is a row of its own, and an entry whose
// program cannot be found stands for none. The row is named after
// the first of its entries that starts it plainly.
BrowerObjList browserRows(const QList<InstalledApp>& apps);

// The nodes for `apps` as `browserRows` gives them, each with its categories
// measured by `data`, all ticked.
BrowerObjList build(const QList<InstalledApp>& apps, const QVariantMap& eraserHistory, BrowserData& data);
// Fills a browser's categories from the dictionary under `key`.
void getSubArrWithKey(const QString& key, const BrowerObjPtr& browser, const QVariantMap& eraserHistory,
                      BrowserData& data);

// The picture name of a category's icon, empty for none.
QString getIconWithKey(const QString& category);
// Icons are pictures, made on the main thread once the scan is back.
void attachIcons(const BrowerObjList& browsers);

// Toggles one node: 0 or 2 becomes 1, 1 becomes 0. A browser's categories
// follow it; a category's browser becomes 1, 2 or 0 as all, some or none of
// its categories are ticked.
void selectBrower(BrowerObj& node);
// Whether Clean may be pressed: some browser is ticked at all.
bool anyBrowserTicked(const BrowerObjList& browsers);

}  // namespace BrowserTree
