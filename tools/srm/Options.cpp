#include "Options.h"

#include <cstring>

ParseResult parseArguments(int argc, char** argv, Options& options, std::string& error)
{
    int i = 1;
    for (; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) {
            ++i;
            break;
        }
        if (std::strcmp(arg, "--help") == 0)
            return ParseResult::Help;
        if (arg[0] != '-' || arg[1] == '\0')
            break;
        for (const char* c = arg + 1; *c; ++c) {
            switch (*c) {
            case 'f': options.force = true; break;
            case 'v': options.verbose = true; break;
            case 'r': options.recursive = true; break;
            case 'z': options.zeroPass = true; break;
            case 'M': options.records = true; break;
            // When several pass counts are given, the last one wins.
            case 's': options.passes = 1; break;
            case 'E': options.passes = 3; break;
            case 'm': options.passes = 7; break;
            default:
                error = std::string("unknown option '") + (*c == '-' ? std::string(arg) : std::string(1, *c)) + "'";
                return ParseResult::Usage;
            }
        }
    }
    for (; i < argc; ++i)
        options.paths.emplace_back(argv[i]);
    if (options.paths.empty()) {
        error = "no path given";
        return ParseResult::Usage;
    }
    return ParseResult::Run;
}

const char* usageText()
{
    return "usage: srm [-fsEmzvrM] path...\n"
           "Overwrite files, then remove them.\n"
           "  -s  one pass of random data\n"
           "  -E  three passes: random, its complement, random\n"
           "  -m  seven passes in the style of the US DoD E-C-E erase sequence\n"
           "      (without -s, -E or -m: 35 passes after Gutmann's method)\n"
           "  -z  a last pass of zeros\n"
           "  -f  force: no error for a missing path; clear read-only, immutable and\n"
           "      append-only protection of what is being removed\n"
           "  -r  remove folders and their contents, staying on one file system\n"
           "  -v  print one line per item and per pass\n"
           "  -M  records for programs on stdout (the -v lines go to stderr), one per item,\n"
           "      each ended by a NUL byte; PATH is the argument as given, joined by '/'\n"
           "      with the names below it:\n"
           "        E<TAB>PATH<NUL>             gone: every pass and the removal reached the disk\n"
           "        F<TAB>PATH<TAB>REASON<NUL>  left in place (REASON is after the last tab)\n"
           "Left untouched: a file with other hard links, one open for writing elsewhere,\n"
           "and one whose folder would not let its name be removed.\n"
           "Exit status: 0 when every path is gone, 1 when one is not, 64 on bad usage.\n";
}
