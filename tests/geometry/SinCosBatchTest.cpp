// floatmath::sinCosBatch at every vector level this machine has (one by one, four lanes, eight
// lanes) against the scalar level's sinCos one argument at a time, bit for bit: seeded floats
// of every magnitude, the floats next to the reduction's boundaries, the special values, every
// count and start, and lanes that hand over to sinCos at every position of a block.
#include "geometry/FloatMath.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "geometry/Cpu.h"
#include "support/SimdLevels.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

std::string hex(float x) {
    char text[64];
    std::snprintf(text, sizeof text, "%a (0x%08x)", static_cast<double>(x),
                  static_cast<unsigned>(std::bit_cast<uint32_t>(x)));
    return text;
}

// sinCos one argument at a time at the scalar level.
floatmath::SinCos scalarSinCos(float x) {
    const cpu::ScopedLevel scalar(cpu::SimdLevel::scalar);
    return floatmath::sinCos(x);
}

class SinCosBatch : public AtEveryLevel {
protected:
    // Every argument's sine and cosine from the batch equal sinCos's bits (NaN included:
    // both come from the same expression).
    void expectSameAsOneByOne(const std::vector<float>& args) {
        const auto n = static_cast<int32_t>(args.size());
        std::vector<float> sines(args.size());
        std::vector<float> cosines(args.size());
        floatmath::sinCosBatch(args.data(), sines.data(), cosines.data(), n);
        int32_t failures = 0;
        for (size_t i = 0; i < args.size() && failures < 10; ++i) {
            const floatmath::SinCos expected = scalarSinCos(args[i]);
            if (std::bit_cast<uint32_t>(sines[i]) != std::bit_cast<uint32_t>(expected.sin) ||
                std::bit_cast<uint32_t>(cosines[i]) != std::bit_cast<uint32_t>(expected.cos)) {
                ADD_FAILURE() << "x = " << hex(args[i]) << " at " << i << ": sin " << hex(sines[i])
                              << " cos " << hex(cosines[i]) << ", sinCos " << hex(expected.sin)
                              << " " << hex(expected.cos);
                ++failures;
            }
        }
    }
};

TEST_P(SinCosBatch, EqualsSinCosOnSeededFloatsOfEveryMagnitude) {
    std::mt19937 random(7213u);
    std::uniform_int_distribution<uint32_t> anyBits;
    std::uniform_real_distribution<float> angle(-static_cast<float>(std::numbers::pi),
                                                3.0f * static_cast<float>(std::numbers::pi));
    std::uniform_real_distribution<float> wide(-20.0f, 20.0f);
    std::vector<float> args;
    for (int32_t i = 0; i < 60000; ++i) {
        args.push_back(std::bit_cast<float>(anyBits(random)));
        args.push_back(angle(random));
        args.push_back(wide(random));
    }
    // Arguments of every exponent from 2^-30 to 2^30, of both signs.
    for (int32_t i = 0; i < 60000; ++i) {
        const uint32_t exponent = 97u + anyBits(random) % 61u;
        args.push_back(std::bit_cast<float>((anyBits(random) & 0x807fffffu) | (exponent << 23)));
    }
    expectSameAsOneByOne(args);
}

// Every float within 300 ulps of k·π/4 for |k| <= 24 (the quadrant changes, the largest
// cancellation, and 16 lies among them), and of the boundaries where the evaluation
// changes: 2^-12 (below it sin x = x), 0.75 (the reduction starts), 16 (lanes hand over to
// sinCos) and 120 (the slow reduction starts).
TEST_P(SinCosBatch, EqualsSinCosNextToQuadrantsAndBoundaries) {
    std::vector<float> centres = {0x1p-12f, 0.75f, 16.0f, 120.0f};
    for (int32_t k = 1; k <= 24; ++k) {
        centres.push_back(static_cast<float>(k * std::numbers::pi / 4.0));
    }
    std::vector<float> args;
    for (const float centre : centres) {
        for (const float sign : {1.0f, -1.0f}) {
            const auto bits = static_cast<int32_t>(std::bit_cast<uint32_t>(centre));
            for (int32_t d = -300; d <= 300; ++d) {
                args.push_back(sign * std::bit_cast<float>(static_cast<uint32_t>(bits + d)));
            }
        }
    }
    expectSameAsOneByOne(args);
}

TEST_P(SinCosBatch, EqualsSinCosOnSpecialValues) {
    const uint32_t signallingNaN = 0x7f800001u;
    const std::vector<float> special = {0.0f,
                                        -0.0f,
                                        std::bit_cast<float>(1u),
                                        -std::bit_cast<float>(1u),
                                        std::bit_cast<float>(0x007fffffu),
                                        std::numeric_limits<float>::min(),
                                        -std::numeric_limits<float>::min(),
                                        std::numeric_limits<float>::quiet_NaN(),
                                        -std::numeric_limits<float>::quiet_NaN(),
                                        std::bit_cast<float>(signallingNaN),
                                        std::bit_cast<float>(0xffc01234u),
                                        kInf,
                                        -kInf,
                                        std::numeric_limits<float>::max(),
                                        -std::numeric_limits<float>::max(),
                                        0x1p30f,
                                        -0x1p100f,
                                        1.0e6f};
    // Each special value at every position among ordinary angles, so that each lane of a
    // block meets it.
    std::vector<float> args;
    for (const float value : special) {
        for (int32_t position = 0; position < 9; ++position) {
            for (int32_t i = 0; i < 9; ++i) {
                args.push_back(i == position ? value : 0.3f + 0.7f * static_cast<float>(i));
            }
        }
    }
    expectSameAsOneByOne(args);
}

// Counts 0 to 40 from every start in an 8-float window: whole blocks and every tail, at
// every alignment; nothing outside [start, start + n) of the outputs is written.
TEST_P(SinCosBatch, WritesExactlyTheCountFromAnyStart) {
    constexpr float kUntouched = -1234.5f;
    std::vector<float> args(64);
    for (size_t i = 0; i < args.size(); ++i) {
        // Every seventh argument beyond 16, the rest angles of every quadrant.
        args[i] =
            i % 7 == 3 ? 40.0f + static_cast<float>(i) : -3.0f + 0.37f * static_cast<float>(i);
    }
    for (int32_t start = 0; start < 8; ++start) {
        for (int32_t n = 0; n <= 40; ++n) {
            std::vector<float> sines(args.size(), kUntouched);
            std::vector<float> cosines(args.size(), kUntouched);
            const auto first = static_cast<size_t>(start);
            floatmath::sinCosBatch(args.data() + first, sines.data() + first,
                                   cosines.data() + first, n);
            for (size_t i = 0; i < args.size(); ++i) {
                const bool inside = i >= first && i < first + static_cast<size_t>(n);
                const floatmath::SinCos expected = scalarSinCos(args[i]);
                const float wantSin = inside ? expected.sin : kUntouched;
                const float wantCos = inside ? expected.cos : kUntouched;
                ASSERT_EQ(std::bit_cast<uint32_t>(sines[i]), std::bit_cast<uint32_t>(wantSin))
                    << "start " << start << " n " << n << " index " << i;
                ASSERT_EQ(std::bit_cast<uint32_t>(cosines[i]), std::bit_cast<uint32_t>(wantCos))
                    << "start " << start << " n " << n << " index " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, SinCosBatch, everyLevel(), levelName);

} // namespace
