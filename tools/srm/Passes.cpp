#include "Passes.h"

#include "Random.h"

#include <cstdio>
#include <utility>

namespace {

Pass randomPass() { return Pass{}; }

Pass complementPass() { return Pass{Pass::Complement, {0, 0, 0}}; }

Pass patternPass(unsigned char a, unsigned char b, unsigned char c) { return Pass{Pass::Pattern, {a, b, c}}; }

Pass patternPass(unsigned char a) { return patternPass(a, a, a); }

// The fixed patterns of the 35-pass method. Each targets a way older drives encoded
// bits on the platter, so that every flux pattern the old data could have left is
// written over at least once:
//  - 0x55 and 0xAA alternate every bit, for FM and for (1,7) RLL codes;
//  - 92 49 24 and its two rotations are 100100100... in all three phases, the worst
//    case for MFM and for (2,7) RLL;
//  - the sixteen bytes 0x00, 0x11 ... 0xFF cover every 4-bit group, for (1,7) RLL;
//  - the three rotations of 92 49 24 again, then of 6D B6 DB (011011011...), for
//    (2,7) RLL.
// On any drive made since the mid-1990s a few random passes do as much; the table is
// kept for those who ask for it. The method writes these in an order the drive cannot
// predict, so the 27 are shuffled on every run.
const unsigned char kFixed[27][3] = {
    {0x55, 0x55, 0x55}, {0xAA, 0xAA, 0xAA},
    {0x92, 0x49, 0x24}, {0x49, 0x24, 0x92}, {0x24, 0x92, 0x49},
    {0x00, 0x00, 0x00}, {0x11, 0x11, 0x11}, {0x22, 0x22, 0x22}, {0x33, 0x33, 0x33},
    {0x44, 0x44, 0x44}, {0x55, 0x55, 0x55}, {0x66, 0x66, 0x66}, {0x77, 0x77, 0x77},
    {0x88, 0x88, 0x88}, {0x99, 0x99, 0x99}, {0xAA, 0xAA, 0xAA}, {0xBB, 0xBB, 0xBB},
    {0xCC, 0xCC, 0xCC}, {0xDD, 0xDD, 0xDD}, {0xEE, 0xEE, 0xEE}, {0xFF, 0xFF, 0xFF},
    {0x92, 0x49, 0x24}, {0x49, 0x24, 0x92}, {0x24, 0x92, 0x49},
    {0x6D, 0xB6, 0xDB}, {0xB6, 0xDB, 0x6D}, {0xDB, 0x6D, 0xB6},
};

}  // namespace

std::vector<Pass> passesFor(int count, bool zeroPass, Random& rng)
{
    std::vector<Pass> passes;
    switch (count) {
    case 1:
        passes = {randomPass()};
        break;
    case 3:
        // Random data, then the same data inverted, so every bit cell is written
        // both ways, then fresh random data so the last layer is not derivable
        // from the first two.
        passes = {randomPass(), complementPass(), randomPass()};
        break;
    case 7:
        // In the style of the DoD erase sequence E-C-E: E is a character, its
        // complement and random data; C is one more character.
        passes = {patternPass(0x55), patternPass(0xAA), randomPass(), patternPass(0x96),
                  patternPass(0x33), patternPass(0xCC), randomPass()};
        break;
    default: {
        // 35: four random passes, the 27 fixed patterns in random order, four
        // random passes.
        std::vector<Pass> fixed;
        for (const auto& p : kFixed)
            fixed.push_back(patternPass(p[0], p[1], p[2]));
        for (size_t i = fixed.size() - 1; i > 0; --i)
            std::swap(fixed[i], fixed[rng.below(i + 1)]);
        passes.assign(4, randomPass());
        passes.insert(passes.end(), fixed.begin(), fixed.end());
        passes.insert(passes.end(), 4, randomPass());
        break;
    }
    }
    if (zeroPass)
        passes.push_back(patternPass(0));
    return passes;
}

std::string Pass::describe() const
{
    switch (kind) {
    case Random: return "random";
    case Complement: return "complement of the previous pass";
    case Pattern: break;
    }
    char text[32];
    if (bytes[0] == bytes[1] && bytes[1] == bytes[2]) {
        if (bytes[0] == 0)
            return "zeros";
        std::snprintf(text, sizeof text, "pattern %02X", bytes[0]);
    } else {
        std::snprintf(text, sizeof text, "pattern %02X %02X %02X", bytes[0], bytes[1], bytes[2]);
    }
    return text;
}
