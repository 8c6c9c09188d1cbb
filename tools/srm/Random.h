#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// xoshiro256**: a few nanoseconds per 8 bytes, so random passes run at disk speed.
// It is not a cryptographic generator, and need not be: overwrite data only has to
// bury the old contents, and nothing about the old contents can be learnt from
// knowing what was written over them. The state is seeded from the kernel.
// Bulk data comes from four more generators side by side (seeded from the first),
// whose steps the processor runs at once: well under a tenth of a second a GiB.
class Random
{
public:
    static Random fromSystem();

    uint64_t next()
    {
        const uint64_t result = rotl(m_s[1] * 5, 7) * 9;
        const uint64_t t = m_s[1] << 17;
        m_s[2] ^= m_s[0];
        m_s[3] ^= m_s[1];
        m_s[1] ^= m_s[2];
        m_s[0] ^= m_s[3];
        m_s[2] ^= t;
        m_s[3] = rotl(m_s[3], 45);
        return result;
    }

    // `bytes` rounded up to 32 are written; `invert` gives the bitwise complement.
    // The stream does not depend on how it is cut into calls (at multiples of 32),
    // and a copy of the generator replays it.
    void fill(unsigned char* out, size_t bytes, bool invert);

    // Uniform in [0, bound).
    uint64_t below(uint64_t bound);

    // Letters and digits, so the name is valid everywhere and never "." or "..".
    std::string name(size_t length);

private:
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    void seedLanes();
    uint64_t m_s[4] = {};
    // Word w of lane l's state is m_lanes[w][l].
    alignas(32) uint64_t m_lanes[4][4] = {};
};
