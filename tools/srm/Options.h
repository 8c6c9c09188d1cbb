#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What a named path must still be when srm reaches it: the device and inode
// its caller saw when it listed the path (a final link not followed).
struct Identity
{
    bool known = false;
    uint64_t device = 0;
    uint64_t inode = 0;
};

// What the command line asks for. Without s, E or m the full 35-pass table is used.
struct Options
{
    bool force = false;      // f: no refusal for protection flags, a missing path is fine
    bool verbose = false;    // v: one line per item and per pass on stdout
    bool recursive = false;  // r: folders, contents first
    bool zeroPass = false;   // z: a last pass of zeros hides that the file was shredded
    bool records = false;    // M: one NUL-terminated record per item on stdout, for programs
    bool identities = false; // I: each path comes after the identity it must have
    int passes = 35;
    std::vector<std::string> paths;
    std::vector<Identity> expected;  // with I, one per path; otherwise empty
};

// "DEVICE:INODE" in decimal, or "-" for a path whose identity was not known.
bool parseIdentity(const std::string& text, Identity& identity);

enum class ParseResult { Run, Help, Usage };

// Flags come first, in one or several dash groups; "--" ends them. Everything from
// the first non-flag argument on is a path, so a file named "-x" can follow a path.
ParseResult parseArguments(int argc, char** argv, Options& options, std::string& error);

const char* usageText();
