#include "platform/FileSystemUser.h"

#include <sys/fsuid.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

// The raw system calls change this thread only; the library's wrappers of
// setgroups would change every thread of the process.
FileSystemUser::FileSystemUser(uid_t uid, gid_t gid)
{
    if (::geteuid() != 0 || uid == 0)
        return;
    const int n = ::getgroups(0, nullptr);
    if (n > 0) {
        m_groups.resize(size_t(n));
        if (::getgroups(n, m_groups.data()) != n)
            m_groups.clear();
    }
    m_oldUid = uid_t(::setfsuid(uid_t(-1)));
    m_oldGid = gid_t(::setfsgid(gid_t(-1)));
    const gid_t only[1] = {gid};
    ::syscall(SYS_setgroups, 1, only);
    ::setfsgid(gid);
    ::setfsuid(uid);
    m_switched = true;
    // setfsuid reports the previous value whatever happens; ask again.
    m_ok = uid_t(::setfsuid(uid_t(-1))) == uid && gid_t(::setfsgid(gid_t(-1))) == gid;
}

FileSystemUser::~FileSystemUser()
{
    if (!m_switched)
        return;
    ::setfsuid(m_oldUid);
    ::setfsgid(m_oldGid);
    ::syscall(SYS_setgroups, m_groups.size(), m_groups.data());
}

}  // namespace platform
