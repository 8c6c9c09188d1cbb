#pragma once
#include "TempTree.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// One package made for a test with dpkg-deb.
struct DebSpec
{
    explicit DebSpec(const QString& packageName) : name(packageName) {}
    QString name;
    int installedSizeKiB = -1;  // no Installed-Size field when negative
    QStringList depends;
    QMap<QString, QByteArray> files;  // path inside the package -> content
    QStringList programs;             // paths among `files` that are made executable
    QByteArray prerm;                 // a removal script, when not empty
    QStringList conffiles;            // paths among `files` that dpkg keeps as configuration files
};

// Builds the packages, installs them with dpkg in one run, and purges them
// when it goes, whatever the test did: a removal script that refuses is
// replaced first. dpkg's lock held by another program is waited for.
class ThrowawayPackages
{
public:
    explicit ThrowawayPackages(const QList<DebSpec>& specs);
    ~ThrowawayPackages();
    ThrowawayPackages(const ThrowawayPackages&) = delete;
    ThrowawayPackages& operator=(const ThrowawayPackages&) = delete;

    // Empty when every package is installed; else what went wrong.
    QString error() const { return m_error; }
    static bool installed(const QString& name);
    // A package name unique to this process: "tv-unin-<tag>-<pid>".
    static QString nameFor(const QString& tag);
    // Root, dpkg-deb, dpkg and apt-get are all here.
    static bool available();

private:
    TempTree m_tree;
    QStringList m_names;
    QString m_error;
};

// dpkg's state of the package ("installed", "config-files"), empty when unknown.
QString packageState(const QString& name);

// dpkg's or apt's run, repeated while another program holds their lock.
int runPackageTool(const QString& program, const QStringList& arguments, QString* output = nullptr);
