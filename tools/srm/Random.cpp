#include "Random.h"

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

Random Random::fromSystem()
{
    Random r;
    auto* raw = reinterpret_cast<unsigned char*>(r.m_s);
    size_t got = 0;
    while (got < sizeof r.m_s) {
        const ssize_t n = ::getrandom(raw + got, sizeof r.m_s - got, 0);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got < sizeof r.m_s) {
        // No getrandom (an old kernel): the clock and the pid still make every run differ.
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        r.m_s[0] ^= static_cast<uint64_t>(ts.tv_nsec) * 0x9E3779B97F4A7C15ull;
        r.m_s[1] ^= static_cast<uint64_t>(ts.tv_sec) ^ (static_cast<uint64_t>(::getpid()) << 32);
        r.m_s[2] ^= 0xD1B54A32D192ED03ull;
        r.m_s[3] ^= 0x8CB92BA72F3D8DD7ull;
    }
    // The all-zero state is the one state the generator never leaves.
    if ((r.m_s[0] | r.m_s[1] | r.m_s[2] | r.m_s[3]) == 0)
        r.m_s[0] = 1;
    r.seedLanes();
    return r;
}

void Random::seedLanes()
{
    // splitmix64 spreads the seeds, so no lane starts near another.
    uint64_t x = next();
    for (auto& word : m_lanes)
        for (auto& lane : word) {
            uint64_t z = (x += 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            lane = z ^ (z >> 31);
        }
    for (int l = 0; l < 4; ++l)
        if ((m_lanes[0][l] | m_lanes[1][l] | m_lanes[2][l] | m_lanes[3][l]) == 0)
            m_lanes[0][l] = 1;
}

namespace {

using Lanes = uint64_t __attribute__((vector_size(32)));

// xoshiro256** in four lanes at once; x * 5 and x * 9 as shifts and adds,
// which every vector unit has.
__attribute__((target_clones("avx2", "default"))) void fillLanes(uint64_t (*state)[4], unsigned char* out,
                                                                   size_t blocks, uint64_t mask)
{
    Lanes s0, s1, s2, s3;
    std::memcpy(&s0, state[0], 32);
    std::memcpy(&s1, state[1], 32);
    std::memcpy(&s2, state[2], 32);
    std::memcpy(&s3, state[3], 32);
    for (size_t i = 0; i < blocks; ++i) {
        const Lanes m = (s1 << 2) + s1;
        const Lanes r = (m << 7) | (m >> 57);
        const Lanes v = ((r << 3) + r) ^ mask;
        const Lanes t = s1 << 17;
        s2 ^= s0;
        s3 ^= s1;
        s1 ^= s2;
        s0 ^= s3;
        s2 ^= t;
        s3 = (s3 << 45) | (s3 >> 19);
        std::memcpy(out + 32 * i, &v, 32);
    }
    std::memcpy(state[0], &s0, 32);
    std::memcpy(state[1], &s1, 32);
    std::memcpy(state[2], &s2, 32);
    std::memcpy(state[3], &s3, 32);
}

}  // namespace

void Random::fill(unsigned char* out, size_t bytes, bool invert)
{
    if ((m_lanes[0][0] | m_lanes[1][0] | m_lanes[2][0] | m_lanes[3][0]) == 0)
        seedLanes();  // a generator that did not come from fromSystem()
    fillLanes(m_lanes, out, (bytes + 31) / 32, invert ? ~uint64_t{0} : 0);
}

uint64_t Random::below(uint64_t bound)
{
    // Rejection keeps the choice uniform; the loop almost never repeats.
    const uint64_t limit = ~uint64_t{0} - (~uint64_t{0} % bound);
    uint64_t v;
    do
        v = next();
    while (v >= limit);
    return v % bound;
}

std::string Random::name(size_t length)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string s(length, 'x');
    for (auto& c : s)
        c = alphabet[below(sizeof alphabet - 1)];
    return s;
}
