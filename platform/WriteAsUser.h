#pragma once
#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace platform {

// Puts `data` at `path` as a new file, with the file-system rights of
// `uid`/`gid` (FileSystemUser: the kernel checks what that user may do, and
// the file is theirs). It is written beside the name under a fresh one
// (O_CREAT|O_EXCL|O_NOFOLLOW), flushed, and renamed over the name within the
// same open folder: whatever had the name, a link someone planted included,
// is replaced, never written through. False with the reason in `error`;
// nothing is left behind then.
bool writeFileAsUser(const QString& path, const QByteArray& data, uid_t uid, gid_t gid, QString* error = nullptr);

}  // namespace platform
