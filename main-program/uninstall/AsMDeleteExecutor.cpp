#include "uninstall/AsMDeleteExecutor.h"

#include "platform/ExternalCommand.h"
#include "platform/FolderSize.h"
#include "platform/Log.h"
#include "platform/RemoveTree.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QProcessEnvironment>
#include <QtConcurrent/QtConcurrentRun>

#include <sys/stat.h>

#include <algorithm>
#include <unistd.h>

namespace {

bool exists(const QString& path)
{
    struct stat st{};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// The path with the links of its folders resolved; the last component is
// kept as it is, since a link is removed as itself.
QString canonicalOf(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.path()).canonicalFilePath();
    return folder.isEmpty() ? path : folder + '/' + info.fileName();
}

bool isUnder(const QString& path, const QString& folder)
{
    return !folder.isEmpty() && path.startsWith(folder + '/');
}

}  // namespace

AsMDeleteExecutor::AsMDeleteExecutor() : m_user(platform::invokingUser()) {}

AsMDeleteExecutor::~AsMDeleteExecutor() { waitForDone(); }

void AsMDeleteExecutor::executeDelete(const AMAppItemList& items)
{
    waitForDone();
    // Every item before any leftover, so a leftover's program has been
    // tried (whichever group it stands in) when the leftover's turn comes.
    m_trashFiles.clear();
    for (const auto& item : items)
        if (item->program.expired())
            m_trashFiles << item;
    for (const auto& item : items)
        if (!item->program.expired())
            m_trashFiles << item;
    m_gone.clear();
    m_tried.clear();
    m_purge.clear();
    for (const auto& item : items)
        if (item->kind == AppKind::PackageConfig && !item->packageName.isEmpty())
            m_purge.insert(item->packageName);
    m_configBefore.clear();
    m_run = QtConcurrent::run([this] {
        for (const auto& item : std::as_const(m_trashFiles))
            if (item->kind == AppKind::PackageConfig)
                for (const QString& file : std::as_const(item->configFiles))
                    if (exists(file))
                        m_configBefore[item.get()].append({file, platform::folderSize(file)});
        for (const auto& item : std::as_const(m_trashFiles))
            removeTrahFile(item);
    });
}

void AsMDeleteExecutor::waitForDone()
{
    if (m_run.isValid())
        m_run.waitForFinished();
}

bool AsMDeleteExecutor::removeTrahFile(const AMAppItemPtr& item)
{
    item->freedBytes = 0;
    item->freedParts.clear();
    item->partlyRemoved = false;
    item->failReason.clear();
    item->keptForProgram = false;
    item->canonicalPath = canonicalOf(item->path);
    m_tried.insert(item.get());
    // A program's settings and data are of use while it is there: they go
    // only after it.
    const AMAppItemPtr program = item->program.lock();
    if (program && program != item && !programGone(*program)) {
        const QString what = program->kind == AppKind::Package ? QStringLiteral("the package %1").arg(program->packageName)
                                                               : program->name;
        item->keptForProgram = true;
        fail(*item, m_tried.contains(program.get()) ? QStringLiteral("%1 could not be removed").arg(what)
                                                     : QStringLiteral("%1 was not removed").arg(what));
        if (m_delegate)
            m_delegate->deleteRelatedFileFail(item);
        return false;
    }
    if (m_delegate)
        m_delegate->willDeleteRelatedFile(item);
    bool removed = false;
    switch (item->kind) {
    case AppKind::PackageConfig:
        removed = removeConfig(*item);
        break;
    case AppKind::Package:
        removed = removePackage(*item);
        break;
    case AppKind::Flatpak:
        removed = removeFlatpak(*item);
        break;
    case AppKind::AppImage:
    case AppKind::OptFolder:
    case AppKind::Path:
        removed = removePath(*item, item->path);
        break;
    }
    // The entries and links that start it go only once it is gone: while
    // any of it is left, they are the user's way back to it (and the
    // Uninstaller's). One left behind fails the record, so the user knows to look.
    if (removed) {
        for (const QString& companion : std::as_const(item->companions))
            if (!removePath(*item, companion))
                removed = false;
    }
    if (removed)
        m_gone.insert(item.get());
    if (m_delegate) {
        if (removed)
            m_delegate->deleteRelatedFile(item);
        else
            m_delegate->deleteRelatedFileFail(item);
    }
    return removed;
}

bool AsMDeleteExecutor::programGone(const AMAppItem& program) const
{
    if (m_gone.contains(&program))
        return true;
    if (m_tried.contains(&program))
        return false;
    switch (program.kind) {
    case AppKind::Package:
    case AppKind::PackageConfig:
        return !program.packageName.isEmpty() && !packageInstalled(program.packageName, m_tools);
    default:
        return !program.path.isEmpty() && !exists(program.path);
    }
}

bool AsMDeleteExecutor::runApt(AMAppItem& item, const QString& verb)
{
    // In the C locale, so that apt's reason can be read when it fails.
    const auto r = platform::runCommand(m_tools.aptGet,
                                        aptLockOptions(m_tools) + QStringList{QStringLiteral("-y"), verb, item.packageName},
                                        -1, {}, {QStringLiteral("DEBIAN_FRONTEND=noninteractive"), QStringLiteral("LC_ALL=C")});
    if (!r.ok()) {
        platform::log(QStringLiteral("apt-get -y %1 %2 ended with %3: %4")
                          .arg(verb, item.packageName)
                          .arg(r.exitCode)
                          .arg(QString::fromUtf8(r.errors).trimmed()));
        return fail(item, r.started ? aptReason(r.output, r.errors, r.exitCode) : QStringLiteral("apt-get could not be run"));
    }
    return true;
}

bool AsMDeleteExecutor::removeConfig(AMAppItem& item)
{
    if (item.packageName.isEmpty())
        return fail(item, QStringLiteral("no package named"));
    QList<std::pair<QString, uint64_t>> present = m_configBefore.value(&item);
    if (!m_configBefore.contains(&item))
        for (const QString& file : std::as_const(item.configFiles))
            if (exists(file))
                present.append({file, platform::folderSize(file)});
    const QString status = packageStatus(item.packageName, m_tools);
    if (status == QLatin1String("installed"))
        return fail(item, QStringLiteral("the package %1 is still installed").arg(item.packageName));
    // Left as configuration files only (its removal was no purge): purged now.
    if (!status.isEmpty() && status != QLatin1String("not-installed") && !runApt(item, QStringLiteral("purge")))
        return false;
    const QString after = packageStatus(item.packageName, m_tools);
    if (!after.isEmpty() && after != QLatin1String("not-installed"))
        return fail(item, QStringLiteral("dpkg still keeps the configuration files of %1").arg(item.packageName));
    bool allGone = true;
    for (const auto& [file, bytes] : std::as_const(present)) {
        if (exists(file)) {
            allGone = false;
            continue;
        }
        item.freedParts.append({canonicalOf(file), bytes});
        item.freedBytes += bytes;
    }
    if (!allGone)
        return fail(item, QStringLiteral("some of its configuration files are still there"));
    return true;
}

bool AsMDeleteExecutor::fail(AMAppItem& item, const QString& why)
{
    if (item.failReason.isEmpty())
        item.failReason = why;
    platform::log(QStringLiteral("Uninstaller: %1 not removed: %2").arg(item.path, why));
    return false;
}

bool AsMDeleteExecutor::planPackageRemoval(AMAppItem& item, const PackageTools& tools)
{
    QStringList removes;
    QString why;
    item.alsoRemoves.clear();
    item.planBytes = 0;
    if (!simulateRemoval(item.packageName, tools, &removes, &why)) {
        item.failReason = why;
        return false;
    }
    const auto infos = packageInfo(removes, tools);
    uint64_t bytes = 0;
    for (const QString& name : removes) {
        if (infos.value(name).isProtected()) {
            item.failReason = QStringLiteral("removing it would remove %1, which the system needs").arg(name);
            return false;
        }
        bytes += infos.value(name).installedBytes;
    }
    item.alsoRemoves = removes;
    // What apt says the removal frees is this same sum of installed sizes.
    item.planBytes = bytes;
    return true;
}

bool AsMDeleteExecutor::removePackage(AMAppItem& item)
{
    if (item.packageName.isEmpty())
        return fail(item, QStringLiteral("no package named"));
    // Two entries of one package in one run: the first removal took it.
    if (!packageInstalled(item.packageName, m_tools))
        return true;
    // The plan is asked again: the removal may go ahead only as it was shown.
    const QStringList shown = item.alsoRemoves;
    AMAppItem plan;
    plan.packageName = item.packageName;
    if (!planPackageRemoval(plan, m_tools))
        return fail(item, plan.failReason);
    if (!shown.isEmpty() && QSet<QString>(shown.begin(), shown.end())
                                != QSet<QString>(plan.alsoRemoves.begin(), plan.alsoRemoves.end()))
        return fail(item, QStringLiteral("the package manager would now remove other packages than were shown"));
    const auto infos = packageInfo(plan.alsoRemoves, m_tools);

    // With its configuration files ticked too, the removal is a purge.
    if (!runApt(item, m_purge.contains(item.packageName) ? QStringLiteral("purge") : QStringLiteral("remove")))
        return false;
    if (packageInstalled(item.packageName, m_tools))
        return fail(item, QStringLiteral("it is still installed"));
    for (const QString& name : std::as_const(plan.alsoRemoves)) {
        const uint64_t bytes = infos.value(name).installedBytes;
        item.freedParts.append({QStringLiteral("package:") + name, bytes});
        item.freedBytes += bytes;
    }
    return true;
}

bool AsMDeleteExecutor::removeFlatpak(AMAppItem& item)
{
    const QString id = item.bundleID;
    if (id.isEmpty() || id.startsWith('-'))
        return fail(item, QStringLiteral("no Flatpak id"));
    const uint64_t bytes = platform::folderSize(item.path);
    QStringList command{m_tools.flatpak, QStringLiteral("uninstall"), QStringLiteral("--noninteractive"),
                        item.flatpakUser ? QStringLiteral("--user") : QStringLiteral("--system"), id};
    if (item.flatpakUser) {
        // The user's own installation is changed by the user.
        const auto asUser = platform::asUserCommand(command, m_user, ::geteuid() == 0,
                                                    QProcessEnvironment::systemEnvironment());
        if (!asUser)
            return fail(item, QStringLiteral("cannot run flatpak as the user"));
        command = QStringList{asUser->program} + asUser->arguments;
    }
    const QString program = command.takeFirst();
    const auto r = platform::runCommand(program, command);
    if (!r.ok())
        return fail(item, QStringLiteral("flatpak ended with %1: %2")
                              .arg(r.exitCode)
                              .arg(QString::fromUtf8(r.errors).trimmed()));
    if (exists(item.path))
        return fail(item, QStringLiteral("the application folder is still there"));
    item.freedParts.append({canonicalOf(item.path), bytes});
    item.freedBytes += bytes;
    return true;
}

bool AsMDeleteExecutor::removePath(AMAppItem& item, const QString& path)
{
    // The path as listed: a link among its folders makes the removal fail
    // rather than lead somewhere else.
    const QString clean = QDir::cleanPath(path);
    const QString home = QDir::cleanPath(m_user.home);
    if (!clean.startsWith('/') || clean == QLatin1String("/")
        || (!m_user.home.isEmpty() && (home == clean || isUnder(home, clean))))
        return fail(item, QStringLiteral("refusing to remove a folder that holds the home folder"));
    const uint64_t bytes = platform::folderSize(clean);
    // Only the system's own folders are worked on as root; anything else
    // (the user's home above all) as the user, so the kernel refuses what
    // the user could not remove, another user's files included.
    static const QStringList kSystemFolders{QStringLiteral("/etc"), QStringLiteral("/var"), QStringLiteral("/opt"),
                                            QStringLiteral("/usr")};
    const bool asRoot = m_user.uid == 0
                        || std::any_of(kSystemFolders.begin(), kSystemFolders.end(),
                                       [&](const QString& f) { return isUnder(clean, f); });
    const bool gone = asRoot ? platform::removeTree(clean, platform::PathLinks::Refuse)
                             : platform::removeTreeAsUser(clean, m_user.uid, m_user.gid, platform::PathLinks::Refuse);
    const QString key = canonicalOf(clean);
    if (!gone) {
        // What went is freed and said so; the record still failed.
        const uint64_t left = exists(clean) ? platform::folderSize(clean) : 0;
        if (left < bytes) {
            item.freedParts.append({key, bytes - left});
            item.freedBytes += bytes - left;
            item.partlyRemoved = true;
            return fail(item, QStringLiteral("%1 was removed only in part").arg(path));
        }
        return fail(item, QStringLiteral("%1 could not be removed whole").arg(path));
    }
    item.freedParts.append({key, bytes});
    item.freedBytes += bytes;
    return true;
}
