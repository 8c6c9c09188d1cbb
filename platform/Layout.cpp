#include "platform/Layout.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <mutex>

namespace platform {

namespace {
std::mutex g_mutex;
std::unique_ptr<Layout> g_current;
}  // namespace

Layout::Layout(QString prefix) : m_prefix(QDir::cleanPath(prefix)) {}

Layout Layout::fromExecutable()
{
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    QDir dir = QFileInfo(exe).absoluteDir();
    if (dir.dirName() == QLatin1String("tarnwick-vantoly")) {
        dir.cdUp();  // libexec
        dir.cdUp();  // prefix
    } else {
        dir.cdUp();  // bin -> prefix
    }
    return Layout(dir.absolutePath());
}

const Layout& Layout::current()
{
    std::lock_guard lock(g_mutex);
    if (!g_current)
        g_current = std::make_unique<Layout>(fromExecutable());
    return *g_current;
}

void Layout::setCurrent(const Layout& layout)
{
    std::lock_guard lock(g_mutex);
    g_current = std::make_unique<Layout>(layout);
}

QString Layout::binDir() const { return m_prefix + QStringLiteral("/bin"); }
QString Layout::libexecDir() const { return m_prefix + QStringLiteral("/libexec/tarnwick-vantoly"); }
QString Layout::shareDir() const { return m_prefix + QStringLiteral("/share/tarnwick-vantoly"); }

QString Layout::stateDir() const
{
    // An installed system keeps its state where FHS puts it; any other prefix
    // (the staged tree, a test's folder) keeps it inside the prefix.
    if (m_prefix == QLatin1String("/usr") || m_prefix == QLatin1String("/usr/local"))
        return QStringLiteral("/var/lib/tarnwick-vantoly");
    return m_prefix + QStringLiteral("/var/lib/tarnwick-vantoly");
}

QString Layout::seededStateFile(const QString& name) const
{
    const QString path = stateFile(name);
    if (QFileInfo::exists(path))
        return path;
    const QString seed = resource(name);
    if (!QFileInfo::exists(seed))
        return QString();
    if (!QDir().mkpath(stateDir()) || !QFile::copy(seed, path)) {
        log(QStringLiteral("cannot seed %1 from %2").arg(path, seed));
        return QFileInfo::exists(path) ? path : QString();
    }
    // QFile::copy keeps the template's read-only mode from a packaged share/.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return path;
}

}  // namespace platform
