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
// Root's own home from the password database.
QString rootHome();
// Sets USER to the invoking user's name, as the program expects to find it.
void exportInvokingUser();

}  // namespace platform
