#pragma once
#include "uninstall/AsMDeleteExecutor.h"

#include <QObject>
#include <QSet>

// One removal: hands the ticked records to the remover and counts what comes
// back on the main thread. The freed size adds everything that really went
// once (a package by its name, a path by where it really was), and the end
// message names what was removed, what failed and why, and what was left
// unticked.
class UninstallRun : public QObject, public AsMDeleteExecutorDelegate
{
    Q_OBJECT
public:
    explicit UninstallRun(QObject* parent = nullptr);
    ~UninstallRun() override;

    AsMDeleteExecutor& executor() { return m_deleteExecutor; }
    // Starts the removal of `items` (ticked records, in order). `kept` are
    // the records the user left unticked that the end message names: an
    // item itself, or a file that was proposed for removal.
    void doRemove(const AMAppItemList& items, const AMAppItemList& kept = {});
    bool isDone() const { return m_allSelectCount > 0 && m_deleteCount >= m_allSelectCount; }

    // Remover callbacks, on its thread: passed on to the main thread.
    void deleteRelatedFile(const AMAppItemPtr& item) override;
    void deleteRelatedFileFail(const AMAppItemPtr& item) override;
    void willDeleteRelatedFile(const AMAppItemPtr& item) override;

    int deleteCount() const { return m_deleteCount; }
    int allSelectCount() const { return m_allSelectCount; }
    uint64_t totalSize() const { return m_totalSize; }
    bool isFail() const { return m_isFail; }
    const AMAppItemList& removed() const { return m_removed; }
    const AMAppItemList& failed() const { return m_failed; }
    const AMAppItemList& kept() const { return m_kept; }
    QString endMessage() const;

signals:
    // Percentage of records finished and the path just handled.
    void progressed(int percent, const QString& path);
    // What is being removed now, in words.
    void working(const QString& what);
    void ended();

private:
    void finishedOne(const AMAppItemPtr& item, bool removed);

    AsMDeleteExecutor m_deleteExecutor;
    int m_deleteCount = 0;
    int m_allSelectCount = 0;
    uint64_t m_totalSize = 0;
    bool m_isFail = false;
    QSet<QString> m_counted;
    AMAppItemList m_removed;
    AMAppItemList m_failed;
    AMAppItemList m_kept;
};
