#pragma once
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>

// The package tools the Uninstaller runs, by path so tests can stand in
// fakes. Every call goes through the one command runner.
struct PackageTools
{
    QString dpkgQuery = QStringLiteral("dpkg-query");
    QString aptGet = QStringLiteral("apt-get");
    QString flatpak = QStringLiteral("flatpak");
};

struct PackageInfo
{
    QString name;
    QString version;
    uint64_t installedBytes = 0;  // Installed-Size, which dpkg keeps in KiB
    bool essential = false;
    QString priority;
    QString status;  // "installed", "config-files", ...

    // A package the system cannot do without: never offered for removal.
    bool isProtected() const
    {
        return essential || priority == QLatin1String("required") || priority == QLatin1String("important");
    }
};

// The package owning each of `paths`, asked in one dpkg-query call. Paths no
// package owns are absent.
QHash<QString, QString> packageOwners(const QStringList& paths, const PackageTools& tools);

// Version, size, essential flag, priority and state of each package, in one call.
QHash<QString, PackageInfo> packageInfo(const QStringList& packages, const PackageTools& tools);

// What "apt-get -s remove <package>" says would be removed (its "Remv" lines),
// the package itself included. False when the simulation fails, with apt's
// reason (aptReason) in `why`.
bool simulateRemoval(const QString& package, const PackageTools& tools, QStringList* removed, QString* why);

// Why a run of apt-get (in the C locale) failed, as one clause fit to follow
// "could not be removed: ": a held lock in plain words, else the error dpkg
// gave for the package (a failing removal script), else apt's last "E:" line.
QString aptReason(const QByteArray& output, const QByteArray& errors, int exitCode);

// True while dpkg still has the package installed (not merely its config files).
bool packageInstalled(const QString& package, const PackageTools& tools);
