#include "platform/InvokingUser.h"

#include <QtGlobal>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

// Sets an environment variable for one scope and puts the old value back.
struct ScopedEnv
{
    QByteArray name, old;
    bool had;
    ScopedEnv(const char* n, const QByteArray& value) : name(n), old(qgetenv(n)), had(qEnvironmentVariableIsSet(n))
    {
        if (value.isNull())
            qunsetenv(n);
        else
            qputenv(n, value);
    }
    ~ScopedEnv()
    {
        if (had)
            qputenv(name, old);
        else
            qunsetenv(name);
    }
};

}  // namespace

TEST(DesktopUser, TheProcessBeatsAStoredName)
{
    const auto nobody = platform::userNamed("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user 'nobody' in the password database";
    const QByteArray uid = QByteArray::number(nobody->uid);
    {
        ScopedEnv pkexec("PKEXEC_UID", uid);
        ScopedEnv sudo("SUDO_UID", QByteArray());
        EXPECT_EQ(platform::desktopUser("root").name, "nobody");  // a stale "root" must not win
    }
    {
        ScopedEnv pkexec("PKEXEC_UID", QByteArray());
        ScopedEnv sudo("SUDO_UID", uid);
        EXPECT_EQ(platform::desktopUser("root").name, "nobody");
    }
    if (::getuid() == 0) {
        // Root with nothing telling who asked: the stored name is the fallback.
        ScopedEnv pkexec("PKEXEC_UID", QByteArray());
        ScopedEnv sudo("SUDO_UID", QByteArray());
        EXPECT_EQ(platform::desktopUser("nobody").name, "nobody");
        EXPECT_EQ(platform::desktopUser("no-such-user-here").uid, 0u);
    }
}
