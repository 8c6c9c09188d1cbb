#include "uninstall/UninstallRun.h"

#include "Comm/CommUti.h"

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
    if (m_deleteCount >= m_allSelectCount)
        emit ended();
}

namespace {

QString describe(const AMAppItem& item)
{
    return item.kind == AppKind::Package ? QStringLiteral("the package %1 (%2)").arg(item.packageName, item.path)
                                         : item.path;
}

}  // namespace

QString UninstallRun::endMessage() const
{
    const QString freed = CommUti::convertVolSpace(m_totalSize);
    if (!m_isFail && m_kept.isEmpty())
        return QStringLiteral("Tarnwick Vantoly has successfully removed the selected application(s) and all "
                              "associated files. %1 of disk space was freed.")
            .arg(freed);
    QStringList removed, partly, left, packages, kept;
    for (const auto& item : m_removed)
        removed << describe(*item);
    for (const auto& item : m_failed) {
        if (item->partlyRemoved)
            partly << item->path;
        else if (item->kind == AppKind::Package)
            packages << QStringLiteral("The package %1 could not be removed: %2.").arg(item->packageName, item->failReason);
        else
            left << item->path;
    }
    for (const auto& item : m_kept)
        kept << (item->blocked ? QStringLiteral("%1, which cannot be removed: %2").arg(describe(*item), item->failReason)
                               : describe(*item));
    QStringList parts{QStringLiteral("Tarnwick Vantoly removed %1 of %2 item(s); %3 of disk space was freed.")
                          .arg(m_removed.size())
                          .arg(m_allSelectCount)
                          .arg(freed)};
    if (!removed.isEmpty())
        parts << QStringLiteral("Removed:\n%1").arg(removed.join('\n'));
    if (!packages.isEmpty())
        parts << packages.join('\n');
    if (!partly.isEmpty())
        parts << QStringLiteral("These were removed only in part; what is left of them is still in place:\n%1")
                     .arg(partly.join('\n'));
    if (!left.isEmpty())
        parts << QStringLiteral("These could not be removed and were left in place:\n%1").arg(left.join('\n'));
    if (!kept.isEmpty())
        parts << QStringLiteral("Not removed, as they were not ticked:\n%1").arg(kept.join('\n'));
    return parts.join('\n');
}
