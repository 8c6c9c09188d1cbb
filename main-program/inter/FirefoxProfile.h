#pragma once
#include <QString>

// Where Firefox keeps the profile it starts with, from the profiles.ini of
// its profile folder `root`:
//   1. the Default of the first [Install...] section (what the installed
//      build starts with);
//   2. else the [Profile...] section with Default=1;
//   3. else, with no usable profiles.ini, the last entry of `root` whose name
//      ends in ".default", ".default-release" or ".default-esr".
// A Path is relative to `root` unless IsRelative=0. A profile that is not a
// folder does not count. Empty when there is none.
QString firefoxDefaultProfile(const QString& root);

// The cache folder Firefox gives `profile` below `cacheRoot`: the same path
// below the cache root as the profile has below `root`, or its folder name
// for a profile kept elsewhere.
QString firefoxCacheProfile(const QString& root, const QString& profile, const QString& cacheRoot);
