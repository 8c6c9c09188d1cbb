#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary folder that is removed with everything in it, with small
// helpers to lay out files, folders and links for a test.
class TempTree
{
public:
    TempTree();
    QString path() const { return m_dir.path(); }
    QString operator/(const QString& rel) const { return m_dir.filePath(rel); }

    QString file(const QString& rel, const QByteArray& content = "x");
    QString folder(const QString& rel);
    QString link(const QString& rel, const QString& target);
    static QByteArray read(const QString& path);

private:
    QTemporaryDir m_dir;
};

// Points the program's layout (tools, resources, state) at a private prefix
// whose share/ and libexec/ come from the staged build; restores on exit.
class ScopedLayout
{
public:
    ScopedLayout();
    ~ScopedLayout();
    QString prefix() const { return m_tree.path(); }
    QString stateFile(const QString& name) const;

private:
    TempTree m_tree;
};
