#include "uninstall/UninstallRun.h"

#include "Comm/CommUti.h"
#include "platform/Log.h"
#include "uninstall/RelatedAppFilesScanner.h"

#include <QMetaObject>
#include <QPointer>

UninstallRun::UninstallRun(QObject* parent) : QObject(parent)
{
    m_deleteExecutor.setDelegate(this);
}

UninstallRun::~UninstallRun()
{
    // The remover's callbacks must not outlive the run.
    m_deleteExecutor.waitForDone();
    m_deleteExecutor.setDelegate(nullptr);
}

void UninstallRun::doRemove(const AMAppItemList& items, const AMAppItemList& kept)
{
    m_kept = kept;
    m_isFail = false;
    m_deleteCount = 0;
    m_totalSize = 0;
    m_counted.clear();
    m_removed.clear();
    m_failed.clear();
    m_allSelectCount = static_cast<int>(items.size());
    if (items.isEmpty())
        return;
    m_deleteExecutor.executeDelete(items);
}

void UninstallRun::deleteRelatedFile(const AMAppItemPtr& item)
{
    QMetaObject::invokeMethod(this, [this, item] { finishedOne(item, true); }, Qt::QueuedConnection);
}

void UninstallRun::deleteRelatedFileFail(const AMAppItemPtr& item)
{
    QMetaObject::invokeMethod(this, [this, item] { finishedOne(item, false); }, Qt::QueuedConnection);
}

void UninstallRun::willDeleteRelatedFile(const AMAppItemPtr& item)
{
    const QString what = item->kind == AppKind::Package
                             ? QStringLiteral("Removing the package %1 with the package manager...").arg(item->packageName)
                         : item->kind == AppKind::Flatpak ? QStringLiteral("Removing %1 with flatpak...").arg(item->bundleID)
                                                          : item->path;
    QMetaObject::invokeMethod(this, [this, what] { emit working(what); }, Qt::QueuedConnection);
}

void UninstallRun::finishedOne(const AMAppItemPtr& item, bool removed)
{
    ++m_deleteCount;
    if (removed)
        m_removed << item;
    else {
        m_isFail = true;
        m_failed << item;
    }
    // What went counts once, however many records named it: a package by
    // its name, anything else by where it really was. A failed record may
    // have freed part of itself.
    for (const auto& [key, bytes] : std::as_const(item->freedParts)) {
        if (!m_counted.contains(key)) {
            m_counted.insert(key);
            m_totalSize += bytes;
        }
    }
    const int percent = m_allSelectCount > 0 ? m_deleteCount * 100 / m_allSelectCount : 100;
    emit progressed(percent, item->path);
    if (m_deleteCount >= m_allSelectCount) {
        // Recorded whether or not anyone is still looking.
        platform::log(QStringLiteral("Uninstaller: %1").arg(endMessage()));
        emit ended();
    }
}

namespace {

QString describe(const AMAppItem& item)
{
    if (item.kind == AppKind::PackageConfig)
        return QStringLiteral("the configuration files of the package %1 (%2)")
            .arg(item.packageName, item.configFiles.join(QStringLiteral(", ")));
    return item.kind == AppKind::Package ? QStringLiteral("the package %1 (%2)").arg(item.packageName, item.path)
                                         : item.path;
}

// What a record stands for: two records of one package are one thing done once.
QString keyOf(const AMAppItem& item)
{
    if (item.kind == AppKind::Package)
        return QStringLiteral("package:") + item.packageName;
    if (item.kind == AppKind::PackageConfig)
        return QStringLiteral("config:") + item.packageName;
    return item.path;
}

}  // namespace

QString UninstallRun::endMessage() const
{
    const QString freed = RelatedAppFilesScanner::sizeText(m_totalSize);
    // Each thing once, by what was really done to it: a package that went
    // is not named as kept because another of its rows was unticked.
    QSet<QString> goneKeys, packagesGone, all;
    QStringList removed;
    for (const auto& item : m_removed) {
        const QString key = keyOf(*item);
        all.insert(key);
        if (item->kind == AppKind::Package) {
            packagesGone.insert(item->packageName);
            for (const QString& name : std::as_const(item->alsoRemoves))
                packagesGone.insert(name);
        }
        if (goneKeys.contains(key))
            continue;
        goneKeys.insert(key);
        removed << describe(*item);
    }
    QStringList partly, left, packages, leftovers;
    QSet<QString> told;
    for (const auto& item : m_failed) {
        const QString key = keyOf(*item);
        all.insert(key);
        if (goneKeys.contains(key) || told.contains(key))
            continue;
        told.insert(key);
        if (item->keptForProgram)
            leftovers << QStringLiteral("%1 (%2)").arg(describe(*item), item->failReason);
        else if (item->partlyRemoved)
            partly << item->path;
        else if (item->kind == AppKind::Package)
            packages << QStringLiteral("The package %1 could not be removed: %2.").arg(item->packageName, item->failReason);
        else if (item->kind == AppKind::PackageConfig)
            packages << QStringLiteral("The configuration files of the package %1 could not be removed: %2.")
                            .arg(item->packageName, item->failReason);
        else
            left << item->path;
    }
    QStringList kept, configKept;
    for (const auto& item : m_kept) {
        const QString key = keyOf(*item);
        if (goneKeys.contains(key) || told.contains(key)
            || (item->kind == AppKind::Package && packagesGone.contains(item->packageName)))
            continue;
        told.insert(key);
        if (item->kind == AppKind::PackageConfig)
            configKept << QStringLiteral("The configuration files of the package %1 stayed: %2.")
                              .arg(item->packageName, item->configFiles.join(QStringLiteral(", ")));
        else
            kept << (item->blocked ? QStringLiteral("%1, which cannot be removed: %2").arg(describe(*item), item->failReason)
                                   : describe(*item));
    }
    if (!m_isFail && kept.isEmpty() && configKept.isEmpty())
        return QStringLiteral("Tarnwick Vantoly has successfully removed the selected application(s) and all "
                              "associated files. %1 of disk space was freed.")
            .arg(freed);
    QStringList parts{QStringLiteral("Tarnwick Vantoly removed %1 of %2 item(s); %3 of disk space was freed.")
                          .arg(goneKeys.size())
                          .arg(all.size())
                          .arg(freed)};
    if (!removed.isEmpty())
        parts << QStringLiteral("Removed:\n%1").arg(removed.join('\n'));
    if (!packages.isEmpty())
        parts << packages.join('\n');
    if (!configKept.isEmpty())
        parts << configKept.join('\n');
    if (!leftovers.isEmpty())
        parts << QStringLiteral("Kept, as the program they belong to is still there:\n%1").arg(leftovers.join('\n'));
    if (!partly.isEmpty())
        parts << QStringLiteral("These were removed only in part; what is left of them is still in place:\n%1")
                     .arg(partly.join('\n'));
    if (!left.isEmpty())
        parts << QStringLiteral("These could not be removed and were left in place:\n%1").arg(left.join('\n'));
    if (!kept.isEmpty())
        parts << QStringLiteral("Not removed, as they were not ticked:\n%1").arg(kept.join('\n'));
    return parts.join('\n');
}
