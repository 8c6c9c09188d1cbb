#pragma once
#include <string>
#include <vector>

// What the command line asks for. Without s, E or m the full 35-pass table is used.
struct Options
{
    bool force = false;      // f: no refusal for protection flags, a missing path is fine
    bool verbose = false;    // v: one line per item and per pass on stdout
    bool recursive = false;  // r: folders, contents first
    bool zeroPass = false;   // z: a last pass of zeros hides that the file was shredded
    bool records = false;    // M: one NUL-terminated record per item on stdout, for programs
    int passes = 35;
    std::vector<std::string> paths;
};

enum class ParseResult { Run, Help, Usage };

// Flags come first, in one or several dash groups; "--" ends them. Everything from
// the first non-flag argument on is a path, so a file named "-x" can follow a path.
ParseResult parseArguments(int argc, char** argv, Options& options, std::string& error);

const char* usageText();
