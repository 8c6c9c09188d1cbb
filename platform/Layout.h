#pragma once
#include <QString>

namespace platform {

// Where the installed tree lives. The programs find their tools, resources and
// state relative to the running executable, so the staged tree under
// build/stage and an installed prefix behave alike. Tests inject a layout.
class Layout
{
public:
    explicit Layout(QString prefix);

    // Derived from /proc/self/exe: bin/<program> or libexec/tarnwick-vantoly/<program>.
    static Layout fromExecutable();
    static const Layout& current();
    static void setCurrent(const Layout& layout);

    QString prefix() const { return m_prefix; }
    QString binDir() const;
    QString libexecDir() const;
    QString shareDir() const;
    QString stateDir() const;

    QString tool(const QString& name) const { return libexecDir() + '/' + name; }
    QString resource(const QString& name) const { return shareDir() + '/' + name; }
    QString stateFile(const QString& name) const { return stateDir() + '/' + name; }

    // Copies share/<name> to the state folder when the state file is missing.
    // Returns the state file's path, or an empty string when it cannot exist.
    QString seededStateFile(const QString& name) const;

private:
    QString m_prefix;
};

}  // namespace platform
