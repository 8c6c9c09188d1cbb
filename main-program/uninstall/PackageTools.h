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
    // How long a removal waits for the package manager's lock that another
    // program holds before it gives up and says so; 0 gives up at once.
    int lockWaitSeconds = 0;
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

// The configuration files dpkg keeps for each package (its conffiles, the
// obsolete ones included), asked in one call. Packages without any are absent.
QHash<QString, QStringList> packageConffiles(const QStringList& packages, const PackageTools& tools);

// dpkg's state of the package ("installed", "config-files", ...); empty when
// dpkg does not know it (or could not be asked).
QString packageStatus(const QString& package, const PackageTools& tools);

// apt-get's options that make it wait for the lock as `tools` says.
QStringList aptLockOptions(const PackageTools& tools);

// True while dpkg still has the package installed (not merely its config files).
bool packageInstalled(const QString& package, const PackageTools& tools);
