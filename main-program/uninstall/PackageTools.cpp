#include "uninstall/PackageTools.h"

#include "platform/ExternalCommand.h"
#include "platform/Log.h"

#include <QRegularExpression>

namespace {

// dpkg-query prints "pkg" or "pkg:arch"; apt and dpkg accept both.
QString packageWord(const QString& word)
{
    return word.trimmed();
}

}  // namespace

QHash<QString, QString> packageOwners(const QStringList& paths, const PackageTools& tools)
{
    QHash<QString, QString> owners;
    if (paths.isEmpty())
        return owners;
    // Exit status 1 only says some path has no owner; the lines still count.
    const auto r = platform::runCommand(tools.dpkgQuery, QStringList{QStringLiteral("-S"), QStringLiteral("--")} + paths,
                                        60000);
    if (!r.started || r.timedOut)
        return owners;
    for (const QByteArray& raw : r.output.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        // "pkg1, pkg2: /path"; diversions are described on lines of their own.
        if (line.startsWith(QLatin1String("diversion by")))
            continue;
        const qsizetype sep = line.indexOf(QLatin1String(": /"));
        if (sep <= 0)
            continue;
        const QString path = line.mid(sep + 2);
        const QString first = line.left(sep).split(',').first();
        if (paths.contains(path) && !owners.contains(path))
            owners.insert(path, packageWord(first));
    }
    return owners;
}

QHash<QString, PackageInfo> packageInfo(const QStringList& packages, const PackageTools& tools)
{
    QHash<QString, PackageInfo> infos;
    if (packages.isEmpty())
        return infos;
    const QString format = QStringLiteral(
        "${binary:Package}\\t${Package}\\t${Version}\\t${Installed-Size}\\t${Essential}\\t${Priority}\\t${db:Status-Status}\\n");
    const auto r = platform::runCommand(tools.dpkgQuery,
                                        QStringList{QStringLiteral("-W"), QStringLiteral("-f=") + format,
                                                    QStringLiteral("--")} + packages,
                                        60000);
    if (!r.started || r.timedOut)
        return infos;
    for (const QByteArray& raw : r.output.split('\n')) {
        const QStringList f = QString::fromUtf8(raw).split('\t');
        if (f.size() < 7)
            continue;
        PackageInfo info;
        info.name = f[0];
        info.version = f[2];
        info.installedBytes = f[3].toULongLong() * 1024;
        info.essential = f[4] == QLatin1String("yes");
        info.priority = f[5];
        info.status = f[6];
        // Asked by either spelling, found by either.
        infos.insert(f[0], info);
        infos.insert(f[1], info);
    }
    return infos;
}

bool simulateRemoval(const QString& package, const PackageTools& tools, QStringList* removed, QString* why)
{
    const auto r = platform::runCommand(tools.aptGet, {QStringLiteral("-s"), QStringLiteral("remove"), package},
                                        120000, {}, {QStringLiteral("LC_ALL=C")});
    if (!r.ok()) {
        const QString reason = r.started ? aptReason(r.output, r.errors, r.exitCode)
                                         : QStringLiteral("apt-get could not be run");
        if (why)
            *why = reason;
        platform::log(QStringLiteral("apt-get -s remove %1 failed: %2").arg(package, QString::fromUtf8(r.errors).trimmed()));
        return false;
    }
    QStringList names;
    for (const QByteArray& raw : r.output.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(QLatin1String("Remv "))) {
            const QStringList words = line.split(' ', Qt::SkipEmptyParts);
            if (words.size() >= 2)
                names << words[1];
        }
    }
    if (removed)
        *removed = names;
    return true;
}

QString aptReason(const QByteArray& output, const QByteArray& errors, int exitCode)
{
    // A waiting apt redraws its line with carriage returns.
    const QStringList lines = QString::fromUtf8(output + '\n' + errors).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    QString dpkgError, lastE;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        // apt told to wait for the lock says so while it waits ("Waiting for
        // cache lock: Could not get lock ..."); it got it in the end.
        if (line.startsWith(QLatin1String("Waiting for cache lock")))
            continue;
        // Whoever holds it, a lock means waiting: the words apt and dpkg use
        // for it differ from one version to the next.
        if (line.contains(QLatin1String("Could not get lock")) || line.contains(QLatin1String("Unable to acquire the dpkg"))
            || line.contains(QLatin1String("Unable to lock the administration directory"))
            || line.contains(QLatin1String("lock was locked by another process")))
            return QStringLiteral("another program is using the package manager; try again when it ends");
        // "dpkg: error processing package foo (--remove):" and, on the next
        // line, what went wrong ("... pre-removal script subprocess returned
        // error exit status 1").
        if (dpkgError.isEmpty() && line.startsWith(QLatin1String("dpkg: error processing package"))
            && i + 1 < lines.size())
            dpkgError = lines[i + 1].trimmed();
        if (line.startsWith(QLatin1String("E: ")))
            lastE = line.mid(3).trimmed();
    }
    QString reason = !dpkgError.isEmpty() ? dpkgError : lastE;
    if (reason.isEmpty())
        reason = QStringLiteral("apt-get ended with status %1").arg(exitCode);
    while (reason.endsWith('.'))
        reason.chop(1);
    return reason;
}

QHash<QString, QStringList> packageConffiles(const QStringList& packages, const PackageTools& tools)
{
    QHash<QString, QStringList> files;
    if (packages.isEmpty())
        return files;
    // "${Conffiles}" is one " /path md5 [obsolete]" line per file.
    const auto r = platform::runCommand(tools.dpkgQuery,
                                        QStringList{QStringLiteral("-W"), QStringLiteral("-f=@@${Package}\\n${Conffiles}\\n"),
                                                    QStringLiteral("--")} + packages,
                                        60000);
    if (!r.started || r.timedOut)
        return files;
    QString current;
    for (const QByteArray& raw : r.output.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(QLatin1String("@@"))) {
            current = line.mid(2).trimmed();
            continue;
        }
        const QString path = line.trimmed().section(' ', 0, 0);
        if (!current.isEmpty() && path.startsWith('/') && !files[current].contains(path))
            files[current] << path;
    }
    for (auto it = files.begin(); it != files.end();)
        it = it->isEmpty() ? files.erase(it) : std::next(it);
    return files;
}

QString packageStatus(const QString& package, const PackageTools& tools)
{
    const auto r = platform::runCommand(tools.dpkgQuery,
                                        {QStringLiteral("-W"), QStringLiteral("-f=${db:Status-Status}"), QStringLiteral("--"), package},
                                        60000);
    if (!r.started || r.timedOut || r.exitCode != 0)
        return {};
    return QString::fromUtf8(r.output).trimmed();
}

QStringList aptLockOptions(const PackageTools& tools)
{
    if (tools.lockWaitSeconds <= 0)
        return {};
    return {QStringLiteral("-o"), QStringLiteral("DPkg::Lock::Timeout=%1").arg(tools.lockWaitSeconds)};
}

bool packageInstalled(const QString& package, const PackageTools& tools)
{
    const auto r = platform::runCommand(tools.dpkgQuery,
                                        {QStringLiteral("-W"), QStringLiteral("-f=${db:Status-Status}"), QStringLiteral("--"), package},
                                        60000);
    // Unknown to dpkg (non-zero exit) means not installed; a tool that did
    // not run says nothing, so the package counts as still there.
    if (!r.started || r.timedOut)
        return true;
    return r.exitCode == 0 && r.output.trimmed() == "installed";
}
