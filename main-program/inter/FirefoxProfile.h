#pragma once
#include <QString>

// The folder holding profiles.ini and the profiles: `legacyRoot`
// (~/.mozilla/firefox) where it exists, as Firefox keeps using it for a user
// who had it; else `configRoot` ($XDG_CONFIG_HOME/mozilla/firefox), where a
// new user's profiles are made.
QString firefoxProfileRoot(const QString& legacyRoot, const QString& configRoot);

// Where Firefox keeps the profile it starts with, from the profiles.ini of
// its profile folder `root`:
//   1. the Default of an [Install...] section (what an installed build
//      starts with), the first that is a folder;
//   2. only when there is no [Install...] section at all (a profiles.ini of
//      a build older than those sections), the [Profile...] with Default=1.
// A Path is relative to `root` unless IsRelative=0. A profile that is not a
// folder does not count. Empty when there is none: a folder merely named
// like a profile is never taken, as Firefox does not use it.
QString firefoxDefaultProfile(const QString& root);

// The cache folder Firefox gives `profile` below `cacheRoot`: the same path
// below the cache root as the profile has below `root`, or its folder name
// for a profile kept elsewhere.
QString firefoxCacheProfile(const QString& root, const QString& profile, const QString& cacheRoot);
