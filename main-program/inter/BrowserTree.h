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
    QString program;
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

// The nodes for `apps`, in their order: one browser per word its name holds,
// each with its categories measured by `data`. Safari is left unticked,
// every other browser and its categories ticked.
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
