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
    return r;
}

void Random::fill(unsigned char* out, size_t bytes, bool invert)
{
    const uint64_t mask = invert ? ~uint64_t{0} : 0;
    for (size_t i = 0; i < bytes; i += 8) {
        const uint64_t v = next() ^ mask;
        std::memcpy(out + i, &v, 8);
    }
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
