#include "Options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

bool parseIdentity(const std::string& text, Identity& identity)
{
    identity = Identity{};
    if (text == "-")
        return true;
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size())
        return false;
    const auto number = [](const std::string& digits, uint64_t& value) {
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        errno = 0;
        value = std::strtoull(digits.c_str(), nullptr, 10);
        return errno == 0;
    };
    if (!number(text.substr(0, colon), identity.device) || !number(text.substr(colon + 1), identity.inode))
        return false;
    identity.known = true;
    return true;
}

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
            case 'I': options.identities = true; break;
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
    for (; i < argc; ++i) {
        if (!options.identities) {
            options.paths.emplace_back(argv[i]);
            continue;
        }
        // Checked in full before anything is touched: a pair out of step would
        // hold every later path to another path's identity.
        Identity identity;
        if (!parseIdentity(argv[i], identity)) {
            error = std::string("'") + argv[i] + "' is not an identity (DEVICE:INODE or -)";
            return ParseResult::Usage;
        }
        if (i + 1 >= argc) {
            error = std::string("identity '") + argv[i] + "' without a path";
            return ParseResult::Usage;
        }
        options.expected.push_back(identity);
        options.paths.emplace_back(argv[++i]);
    }
    if (options.paths.empty()) {
        error = "no path given";
        return ParseResult::Usage;
    }
    return ParseResult::Run;
}

const char* usageText()
{
    return "usage: srm [-fsEmzvrM] path...\n"
           "       srm -I [-fsEmzvrM] DEVICE:INODE path [DEVICE:INODE path]...\n"
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
           "  -I  each path comes after the identity it must have, DEVICE:INODE in decimal\n"
           "      as stat gives them (a final link not followed), or - for none; a path\n"
           "      that names anything else by then is left alone\n"
           "Left untouched: a file with other hard links, one open for writing elsewhere,\n"
           "and one whose folder would not let its name be removed.\n"
           "Exit status: 0 when every path is gone, 1 when one is not, 64 on bad usage.\n";
}
