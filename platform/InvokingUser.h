#pragma once
#include <QString>
#include <sys/types.h>

#include <optional>

namespace platform {

// The user on whose behalf the program runs. The main program runs as root
// under pkexec (or sudo); the person who started it is found from
// PKEXEC_UID, then SUDO_UID, then the real uid, through the password database.
struct InvokingUser
{
    uid_t uid = 0;
    gid_t gid = 0;
    QString name;
    QString home;
};

InvokingUser invokingUser();
// The entry of the real uid, never an environment variable that may be missing.
InvokingUser realUser();
std::optional<InvokingUser> userNamed(const QString& name);
// The user whose desktop the program serves: the invoking user whenever the
// process tells (PKEXEC_UID, SUDO_UID, a real uid other than root); the
// name the launcher stored only when it does not, and root failing both.
InvokingUser desktopUser(const QString& storedName);
// Root's own home from the password database.
QString rootHome();
// Sets USER to the invoking user's name, as the program expects to find it.
void exportInvokingUser();

}  // namespace platform
