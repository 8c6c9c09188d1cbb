#pragma once
#include "platform/InvokingUser.h"
#include "uninstall/AMAppItem.h"
#include "uninstall/PackageTools.h"

#include <QStringList>

// Where the scan looks and what it runs; the standard one is the invoking
// user's and the system's folders, tests pass fixture folders.
struct ScanSetup
{
    QStringList applicationRoots;  // desktop-entry folders, the user's first
    QStringList widgetRoots;
    QStringList pluginRoots;
    QString home;                             // the invoking user's home
    QString optRoot = QStringLiteral("/opt");
    QStringList linkFolders{QStringLiteral("/usr/local/bin")};  // where links into an app are looked for
    PackageTools tools;
    // Names this program goes by: never offered for removal.
    QStringList ownNames{QStringLiteral("tarnwick-vantoly"), QStringLiteral("brisklaunch")};

    static ScanSetup standard();
};

// The three tabs' walkers. Each returns its records in the order found;
// sizes are not measured ("0KB"). Folder links are followed, but a folder is
// entered once at most (device and inode remembered), so a walk always ends.
namespace ApplicationScan {

// Tab 0: one record per desktop entry shown to the user, with what removing
// it means (package, Flatpak, AppImage, /opt folder or the entry itself).
// Package owners and versions are asked in one batched call each.
// System applications are included with isSystemApp set; the screen hides them.
AMAppItemList applications(const ScanSetup& setup);
// Tab 1: GNOME Shell extensions and Plasma plasmoids (folders holding a
// metadata.json or metadata.desktop).
AMAppItemList widgets(const ScanSetup& setup);
// Tab 2: browser plug-ins and input-method components (*.so, *.xml, *.conf).
AMAppItemList plugins(const ScanSetup& setup);

// What makes a folder a widget (tab 1) and a file a plug-in (tab 2).
bool isWidgetFolder(const QString& path);
bool isPluginName(const QString& name);
// An AppImage by its magic bytes ("AI" and type 1 or 2 at offset 8).
bool isAppImage(const QString& path);

}  // namespace ApplicationScan
