#include "SrmRun.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

QString srmPath() { return QStringLiteral(TV_STAGE_DIR) + "/libexec/tarnwick-vantoly/srm"; }

SrmRun runSrm(const QStringList& args, int timeoutMs, const std::function<void()>& inChild)
{
    SrmRun r;
    QProcess p;
    if (inChild)
        p.setChildProcessModifier(inChild);
    p.start(srmPath(), args);
    if (!p.waitForStarted(10000)) {
        ADD_FAILURE() << "srm did not start";
        return r;
    }
    if (!p.waitForFinished(timeoutMs)) {
        ADD_FAILURE() << "srm did not end within " << timeoutMs << " ms";
        p.kill();
        p.waitForFinished();
        r.crashed = true;
    } else {
        r.crashed = p.exitStatus() != QProcess::NormalExit;
        r.code = r.crashed ? -1 : p.exitCode();
    }
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

void writeSynced(const QString& path, const QByteArray& content)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ASSERT_EQ(::fsync(fd), 0);
    ::close(fd);
}

ScopedMount::ScopedMount(const QString& source, const QString& where, const char* type, unsigned long flags)
    : target(QFile::encodeName(where)),
      mounted(::mount(QFile::encodeName(source).constData(), target.constData(), type, flags, nullptr) == 0)
{
}

ScopedMount::~ScopedMount()
{
    if (mounted)
        ::umount2(target.constData(), MNT_DETACH);
}
