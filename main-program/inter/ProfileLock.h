#pragma once
#include <QString>
#include <QStringList>

#include <sys/types.h>

// Whether a running browser holds a profile. A profile in use is never
// cleaned: the browser would write back what was removed, or find its
// databases changed under it.

// Firefox: `.parentlock` locked by another process, or the `lock` link
// ("address:+pid", left behind by every normal quit) naming a live process
// of `uid` on this machine that is one of `names`. The address is not the
// host name and says nothing: a Firefox elsewhere sharing the home holds
// `.parentlock` instead.
bool firefoxProfileLocked(const QString& profile, uid_t uid, const QStringList& names);

// Chromium-based browsers: a `SingletonLock` link naming a live process, in
// the folder of `path` or any folder above it up to, not including, `stop`.
bool chromiumProfileLocked(const QString& path, const QString& stop);

// A Chromium lock link's target, "host-pid": held when the process is
// alive on this machine, or when the link names another machine (a shared
// home whose owner we cannot ask).
bool lockLinkHeld(const QString& target);
