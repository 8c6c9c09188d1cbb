#pragma once
#include <sys/types.h>

#include <vector>

namespace platform {

// For as long as it lives, the calling thread opens, creates and removes
// files as `uid`/`gid` would: the kernel checks that user's permissions, and
// what the thread creates belongs to that user. The rest of the process,
// and the thread's rights over processes, stay root's. Nothing changes when
// the process is not root.
//
// This is how work on a user's own files stays inside what the user could
// reach: a link or folder planted towards another user's or the system's
// files is refused by the kernel, not by our checks.
class FileSystemUser
{
public:
    FileSystemUser(uid_t uid, gid_t gid);
    ~FileSystemUser();
    FileSystemUser(const FileSystemUser&) = delete;
    FileSystemUser& operator=(const FileSystemUser&) = delete;

    // False when the switch was asked for and did not take.
    bool ok() const { return m_ok; }

private:
    bool m_switched = false;
    uid_t m_oldUid = 0;
    gid_t m_oldGid = 0;
    bool m_ok = true;
    std::vector<gid_t> m_groups;
};

}  // namespace platform
