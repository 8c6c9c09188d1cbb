#pragma once
#include <string>
#include <vector>

class Random;

// One overwrite of the whole file.
struct Pass
{
    enum Kind { Random, Complement, Pattern };
    Kind kind = Random;
    // Pattern passes repeat these three bytes from the start of the file (a one-byte
    // pattern is the byte three times). Complement repeats the random data of the
    // pass before it with every bit flipped.
    unsigned char bytes[3] = {0, 0, 0};

    std::string describe() const;
};

// The passes for a count of 1, 3, 7 or 35, plus a final zero pass when asked.
std::vector<Pass> passesFor(int count, bool zeroPass, Random& random);
