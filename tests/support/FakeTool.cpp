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

QString FakeTool::srmWithRecords()
{
    return QStringLiteral(R"SH(export LOG
exec python3 - "$@" <<'PY'
import os, sys, time
args = [os.fsencode(a) for a in sys.argv[1:]]
with open(os.environ["LOG"], "ab") as log:
    log.write(b" ".join(args) + b"\n")
flags = b"".join(a for a in args[: args.index(b"--")] if a.startswith(b"-"))
paths = args[args.index(b"--") + 1 :]
if b"I" in flags:
    paths = paths[1::2]  # each path comes after its identity
out = sys.stdout.buffer
err = sys.stderr.buffer
def report(word, path, reason=b""):
    out.write(word + b"\t" + path + ((b"\t" + reason) if word == b"F" else b"") + b"\0")
    out.flush()
def erase(path):
    name = os.path.basename(path)
    if b"v" in flags and not os.path.isdir(path):
        err.write(b"srm: " + path + b": pass 1/1 (random)\n")
        err.flush()
    if b"slow" in name:
        time.sleep(30)
    if os.path.isdir(path) and not os.path.islink(path):
        if b"r" not in flags:
            return report(b"F", path, b"is a folder")
        for entry in os.listdir(path):
            erase(path + b"/" + entry)
        if b"keep" in name or os.listdir(path):
            return report(b"F", path, b"not empty")
        os.rmdir(path)
    else:
        if b"keep" in name:
            return report(b"F", path, b"kept")
        if not os.path.lexists(path):
            return
        os.unlink(path)
    if b"silent" not in name:
        report(b"E", path)
for p in paths:
    erase(p)
PY)SH");
}
