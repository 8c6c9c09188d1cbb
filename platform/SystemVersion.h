#pragma once

namespace platform {

// Linux has no counterpart of the desktop's version number that the program
// compares against. It reports 10.13.0, the last version before a Full Disk
// Access prompt existed, so every check that depends on it takes the path
// that needs no such prompt.
struct SystemVersion
{
    int major = 10;
    int minor = 13;
    int bugFix = 0;
};

inline SystemVersion emulatedSystemVersion() { return {}; }

}  // namespace platform
