#pragma once
#include <QString>

// Whether a running browser holds a profile. A profile in use is never
// cleaned: the browser would write back what was removed, or find its
// databases changed under it.

// Firefox: `.parentlock` locked by another process, or the `lock` link
// naming a live process.
bool firefoxProfileLocked(const QString& profile);

// Chromium-based browsers: a `SingletonLock` link naming a live process, in
// the folder of `path` or any folder above it up to, not including, `stop`.
bool chromiumProfileLocked(const QString& path, const QString& stop);

// A lock link's target, "host-pid" or "host:+pid": held when the process is
// alive on this machine, or when the link names another machine (a shared
// home whose owner we cannot ask).
bool lockLinkHeld(const QString& target);
