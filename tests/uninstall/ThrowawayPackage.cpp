#include "ThrowawayPackage.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

int runPackageTool(const QString& program, const QStringList& arguments, QString* output)
{
    for (int attempt = 0;; ++attempt) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, arguments);
        p.waitForFinished(-1);
        const QString text = QString::fromUtf8(p.readAll());
        const int code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        // Other checkouts on this machine may be installing packages too.
        if (code != 0 && text.contains("lock") && attempt < 300) {
            QThread::msleep(1000);
            continue;
        }
        if (output)
            *output = text;
        return code;
    }
}

bool ThrowawayPackages::available()
{
    return ::geteuid() == 0 && !QStandardPaths::findExecutable("dpkg-deb").isEmpty()
           && !QStandardPaths::findExecutable("dpkg").isEmpty() && !QStandardPaths::findExecutable("apt-get").isEmpty();
}

QString ThrowawayPackages::nameFor(const QString& tag)
{
    return QString("tv-unin-%1-%2").arg(tag).arg(::getpid());
}

QString packageState(const QString& name)
{
    QProcess p;
    p.start("dpkg-query", {"-W", "-f=${db:Status-Status}", "--", name});
    p.waitForFinished(-1);
    return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput().trimmed()) : QString();
}

bool ThrowawayPackages::installed(const QString& name)
{
    return packageState(name) == "installed";
}

ThrowawayPackages::ThrowawayPackages(const QList<DebSpec>& specs)
{
    QStringList debs;
    for (const DebSpec& spec : specs) {
        const QString root = "build/" + spec.name;
        QString control = QString("Package: %1\nVersion: 1.0-1\nArchitecture: all\nMaintainer: Tests <t@example.org>\n"
                                  "Priority: optional\nSection: misc\n")
                              .arg(spec.name);
        if (spec.installedSizeKiB >= 0)
            control += QString("Installed-Size: %1\n").arg(spec.installedSizeKiB);
        if (!spec.depends.isEmpty())
            control += "Depends: " + spec.depends.join(", ") + "\n";
        control += "Description: Uninstaller test package\n";
        m_tree.file(root + "/DEBIAN/control", control.toUtf8());
        if (!spec.prerm.isEmpty()) {
            QFile::setPermissions(m_tree.file(root + "/DEBIAN/prerm", "#!/bin/sh\n" + spec.prerm + "\n"),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                      | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                      | QFileDevice::ExeOther);
        }
        if (!spec.conffiles.isEmpty())
            m_tree.file(root + "/DEBIAN/conffiles", (spec.conffiles.join('\n') + '\n').toUtf8());
        for (auto it = spec.files.begin(); it != spec.files.end(); ++it) {
            const QString path = m_tree.file(root + it.key(), it.value());
            if (spec.programs.contains(it.key()))
                QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeGroup
                                                | QFileDevice::ExeOther);
        }
        const QString deb = m_tree / (spec.name + ".deb");
        QString out;
        if (runPackageTool("dpkg-deb", {"--root-owner-group", "--build", m_tree / root, deb}, &out) != 0) {
            m_error = "dpkg-deb: " + out;
            return;
        }
        debs << deb;
        m_names << spec.name;
    }
    QString out;
    if (runPackageTool("dpkg", QStringList{"-i"} + debs, &out) != 0)
        m_error = "dpkg -i: " + out;
    for (const QString& name : std::as_const(m_names))
        if (m_error.isEmpty() && !installed(name))
            m_error = name + " is not installed";
}

ThrowawayPackages::~ThrowawayPackages()
{
    // A removal script that refuses would keep the package for good.
    for (const QString& name : std::as_const(m_names)) {
        QFile prerm("/var/lib/dpkg/info/" + name + ".prerm");
        if (prerm.exists() && prerm.open(QIODevice::WriteOnly | QIODevice::Truncate))
            prerm.write("#!/bin/sh\nexit 0\n");
    }
    if (!m_names.isEmpty())
        runPackageTool("dpkg", QStringList{"--purge", "--force-depends"} + m_names);
}
