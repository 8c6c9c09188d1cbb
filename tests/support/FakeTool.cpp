#include "FakeTool.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

FakeTool::FakeTool(const QString& name, const QString& scriptBody)
{
    QTemporaryDir dir(QDir::tempPath() + "/tv-fake-XXXXXX");
    dir.setAutoRemove(false);
    m_folder = dir.path();
    m_path = m_folder + '/' + name;
    QFile f(m_path);
    if (f.open(QIODevice::WriteOnly)) {
        f.write("#!/bin/sh\nLOG='" + logPath().toLocal8Bit() + "'\n");
        f.write(scriptBody.toLocal8Bit());
        f.write("\n");
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

FakeTool::~FakeTool() { QDir(m_folder).removeRecursively(); }

QString FakeTool::log() const
{
    QFile f(logPath());
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}
