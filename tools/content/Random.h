// Seeded pseudo-random numbers for the content builder. Our own generator (xorshift32)
// rather than the standard distributions, whose results differ between libraries:
// the generated files must be the same bytes on every build.
#pragma once

#include <cstdint>

class Random {
public:
    explicit Random(uint32_t seed) : state(seed == 0u ? 0x9E3779B9u : seed) {}

    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // Uniform in [0, 1).
    float unit() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }
    float range(float lo, float hi) { return lo + (hi - lo) * unit(); }
    // Uniform integer in [0, n); n > 0.
    int32_t below(int32_t n) { return static_cast<int32_t>(next() % static_cast<uint32_t>(n)); }

private:
    uint32_t state;
};
