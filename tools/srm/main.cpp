// srm: overwrite files so their contents cannot be read back, then remove them.
#include "Options.h"
#include "Random.h"
#include "Remover.h"
#include "Report.h"
#include "Stop.h"

#include <cstdio>

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    switch (parseArguments(argc, argv, options, error)) {
    case ParseResult::Help:
        std::fputs(usageText(), stdout);
        return 0;
    case ParseResult::Usage:
        std::fprintf(stderr, "srm: %s\n%s", error.c_str(), usageText());
        return 64;
    case ParseResult::Run:
        break;
    }

    installStopHandlers();
    Report report(options.verbose, options.records);
    Random random = Random::fromSystem();
    Remover remover(options, random, report);
    const bool allGone = remover.removeArguments(options.paths, options.expected);
    if (g_stopSignal) {
        std::fflush(stdout);
        std::fputs("srm: stopped; the item under way is left in place, partly overwritten\n", stderr);
        dieOfStopSignal();
    }
    return allGone ? 0 : 1;
}
