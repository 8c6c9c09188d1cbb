#pragma once
#include <QString>

// The folder holding profiles.ini and the profiles: `legacyRoot`
// (~/.mozilla/firefox) where it exists, as Firefox keeps using it for a user
// who had it; else `configRoot` ($XDG_CONFIG_HOME/mozilla/firefox), where a
// new user's profiles are made.
QString firefoxProfileRoot(const QString& legacyRoot, const QString& configRoot);

#include <cstddef>
#include <cstdint>

// The 64-bit CityHash (version 1.0, the one Firefox carries) of `len` bytes.
uint64_t cityHash64(const char* data, size_t len);

// The name Firefox gives an installation in profiles.ini ("[Install<hash>]"):
// the CityHash of the installation folder's path in UTF-16, in upper-case
// hex without leading zeros. Empty for an empty folder.
QString firefoxInstallHash(const QString& installDir);

// The installation folder of the program a desktop entry starts: the
// folder of the program file, links followed ("/usr/bin/firefox-esr" is
// "/usr/lib/firefox-esr"). A bare name is looked up on PATH. Empty when the
// program cannot be found or its folder is not an installation (no
// application.ini): a launcher script, say.
QString firefoxInstallDir(const QString& program);

// Where the Firefox installed in `installDir` keeps the profile it starts
// with, from the profiles.ini of its profile folder `root`:
//   1. the Default of the [Install<hash>] section of that installation;
//   2. only when there is no [Install...] section at all (a profiles.ini of
//      a build older than those sections), the [Profile...] with Default=1.
// Another installation's section is never taken: it is that one's profile.
// A Path is relative to `root` unless IsRelative=0. A profile that is not a
// folder does not count. Empty when there is none: a folder merely named
// like a profile is never taken, as Firefox does not use it.
QString firefoxDefaultProfile(const QString& root, const QString& installDir);

// The cache folder Firefox gives `profile` below `cacheRoot`: the same path
// below the cache root as the profile has below `root`, or its folder name
// for a profile kept elsewhere.
QString firefoxCacheProfile(const QString& root, const QString& profile, const QString& cacheRoot);
