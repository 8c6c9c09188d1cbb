#include "platform/InvokingUser.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {

namespace {

std::optional<InvokingUser> fromPasswd(const passwd* pw)
{
    if (!pw)
        return std::nullopt;
    InvokingUser u;
    u.uid = pw->pw_uid;
    u.gid = pw->pw_gid;
    u.name = QString::fromLocal8Bit(pw->pw_name);
    u.home = QString::fromLocal8Bit(pw->pw_dir);
    return u;
}

std::optional<InvokingUser> byUid(uid_t uid)
{
    passwd pw{};
    passwd* result = nullptr;
    std::vector<char> buf(16384);
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &result) != 0)
        return std::nullopt;
    return fromPasswd(result);
}

std::optional<uid_t> uidFromEnv(const char* name)
{
    const char* v = std::getenv(name);
    if (!v || !*v)
        return std::nullopt;
    char* end = nullptr;
    const unsigned long n = std::strtoul(v, &end, 10);
    if (*end != '\0')
        return std::nullopt;
    return static_cast<uid_t>(n);
}

}  // namespace

InvokingUser realUser()
{
    if (auto u = byUid(::getuid()))
        return *u;
    InvokingUser u;
    u.uid = ::getuid();
    u.gid = ::getgid();
    return u;
}

InvokingUser invokingUser()
{
    for (const char* var : {"PKEXEC_UID", "SUDO_UID"}) {
        if (auto uid = uidFromEnv(var))
            if (auto u = byUid(*uid))
                return *u;
    }
    return realUser();
}

InvokingUser desktopUser(const QString& storedName)
{
    // The process says who asked whenever it can: pkexec or sudo name the
    // user, and an ordinary real uid is the user. A stored name is stale as
    // often as not (any user may have started the launcher last).
    for (const char* var : {"PKEXEC_UID", "SUDO_UID"})
        if (auto uid = uidFromEnv(var))
            if (auto u = byUid(*uid))
                return *u;
    if (::getuid() != 0)
        return realUser();
    if (auto stored = userNamed(storedName))
        return *stored;
    return realUser();
}

std::optional<InvokingUser> userNamed(const QString& name)
{
    passwd pw{};
    passwd* result = nullptr;
    std::vector<char> buf(16384);
    if (name.isEmpty() || ::getpwnam_r(name.toLocal8Bit().constData(), &pw, buf.data(), buf.size(), &result) != 0)
        return std::nullopt;
    return fromPasswd(result);
}

QString rootHome()
{
    if (auto u = byUid(0))
        return u->home;
    return QStringLiteral("/root");
}

void exportInvokingUser()
{
    const InvokingUser u = invokingUser();
    if (!u.name.isEmpty())
        ::setenv("USER", u.name.toLocal8Bit().constData(), 1);
}

}  // namespace platform
