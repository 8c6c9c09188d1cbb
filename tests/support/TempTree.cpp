#include "TempTree.h"

#include "platform/Layout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

TempTree::TempTree()
{
    m_dir.setAutoRemove(true);
    EXPECT_TRUE(m_dir.isValid());
}

QString TempTree::file(const QString& rel, const QByteArray& content)
{
    const QString p = m_dir.filePath(rel);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << p.toStdString();
    f.write(content);
    return p;
}

QString TempTree::folder(const QString& rel)
{
    const QString p = m_dir.filePath(rel);
    QDir().mkpath(p);
    return p;
}

QString TempTree::link(const QString& rel, const QString& target)
{
    const QString p = m_dir.filePath(rel);
    QDir().mkpath(QFileInfo(p).absolutePath());
    EXPECT_TRUE(QFile::link(target, p)) << p.toStdString();
    return p;
}

QByteArray TempTree::read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

ScopedLayout::ScopedLayout()
{
    // Tools and resources are the staged ones; state is private to the test.
    const QString stage = QStringLiteral(TV_STAGE_DIR);
    QDir().mkpath(m_tree.path() + "/libexec");
    QDir().mkpath(m_tree.path() + "/share");
    QFile::link(stage + "/libexec/tarnwick-vantoly", m_tree.path() + "/libexec/tarnwick-vantoly");
    QFile::link(stage + "/share/tarnwick-vantoly", m_tree.path() + "/share/tarnwick-vantoly");
    QFile::link(stage + "/bin", m_tree.path() + "/bin");
    platform::Layout::setCurrent(platform::Layout(m_tree.path()));
}

ScopedLayout::~ScopedLayout()
{
    platform::Layout::setCurrent(platform::Layout(QStringLiteral(TV_STAGE_DIR)));
}

QString ScopedLayout::stateFile(const QString& name) const
{
    return platform::Layout::current().stateFile(name);
}
