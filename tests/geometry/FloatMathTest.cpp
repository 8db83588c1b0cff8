// floatmath against the platform's float functions (glibc on the native build, which these
// must equal bit for bit), on hard arguments and on a seeded sample; and the values of the
// special cases worked out by hand. The exhaustive comparison is scripts/check-floatmath.sh.
// Other C libraries round differently (Windows'), so there the library comparisons skip;
// on every system our results must hash to the digests stored here, those of glibc's own
// results on the same arguments, so floatmath gives glibc's bits everywhere.
#include "geometry/FloatMath.h"
#include "geometry/Cpu.h"
#include "support/SimdLevels.h"

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

namespace {

#if defined(__GLIBC__)
constexpr bool kGlibc = true;
#else
constexpr bool kGlibc = false;
#endif
constexpr const char* kNotGlibc =
    "compares with glibc's float functions, which this C library does not equal; "
    "FloatMathStored pins floatmath's bits on every system";

// FNV-1a over the bits of floatmath's results, in the order the tests take them.
struct Digest {
    uint64_t value = 14695981039346656037ULL;
    void add(float x) {
        const uint32_t bits = std::isnan(x) ? 0x7fc00000u : std::bit_cast<uint32_t>(x);
        for (int b = 0; b < 4; ++b) {
            value ^= (bits >> (8 * b)) & 0xFFu;
            value *= 1099511628211ULL;
        }
    }
};

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Keeps the compiler from working the library call out itself at compile time (it would
// round correctly, which the library does not always do).
float opaque(float x) {
    volatile float v = x;
    return v;
}

std::string hex(float x) {
    char text[64];
    std::snprintf(text, sizeof text, "%a (0x%08x)", static_cast<double>(x),
                  static_cast<unsigned>(std::bit_cast<uint32_t>(x)));
    return text;
}

// Equal bits, or both NaN.
::testing::AssertionResult sameFloat(float ours, float theirs) {
    if ((std::isnan(ours) && std::isnan(theirs)) ||
        std::bit_cast<uint32_t>(ours) == std::bit_cast<uint32_t>(theirs)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "ours " << hex(ours) << ", library " << hex(theirs);
}

float fromBits(uint32_t bits) {
    return std::bit_cast<float>(bits);
}

// Arguments where the reductions and the polynomials are weakest: zeros, subnormals, the
// path boundaries (2^-12, π/4, 120, 2^...), floats next to multiples of π/2 (the largest
// cancellation), big and huge arguments, infinities and NaN.
std::vector<float> hardArguments() {
    std::vector<float> args = {0.0f,
                               -0.0f,
                               fromBits(1),
                               fromBits(0x007fffff),
                               std::numeric_limits<float>::min(),
                               0x1p-126f,
                               0x1p-12f,
                               std::nextafter(0x1p-12f, 0.0f),
                               0x1.921fb6p-1f,
                               0x1.921fb4p-1f,
                               120.0f,
                               std::nextafter(120.0f, 0.0f),
                               1.0e4f,
                               0x1p23f,
                               0x1p60f,
                               0x1.fffffep127f,
                               std::numeric_limits<float>::max(),
                               kInf,
                               kNaN};
    // Next to k·π/2 for k up to 2^20 and a few huge k (quadrant and sign of every kind).
    for (uint32_t k = 1; k <= (1u << 20); k = k < 16 ? k + 1 : k * 3) {
        const float nearest = static_cast<float>(static_cast<double>(k) * std::numbers::pi / 2.0);
        for (int32_t step = -2; step <= 2; ++step) {
            float x = nearest;
            for (int32_t i = 0; i < std::abs(step); ++i) {
                x = std::nextafter(x, step < 0 ? 0.0f : kInf);
            }
            args.push_back(x);
        }
    }
    // A known hard case of the large reduction: 4/π has a long run of like bits here.
    args.push_back(fromBits(0x5922aa80));
    args.push_back(fromBits(0x6a6fb0ac));
    const size_t count = args.size();
    for (size_t i = 0; i < count; ++i) {
        args.push_back(-args[i]);
    }
    return args;
}

class FloatMathHard : public ::testing::TestWithParam<float> {};

TEST_P(FloatMathHard, SinCosAndTanEqualTheLibrary) {
    if (!kGlibc) {
        GTEST_SKIP() << kNotGlibc;
    }
    const float x = opaque(GetParam());
    EXPECT_TRUE(sameFloat(floatmath::sin(x), std::sin(x))) << "sin " << hex(x);
    EXPECT_TRUE(sameFloat(floatmath::cos(x), std::cos(x))) << "cos " << hex(x);
    EXPECT_TRUE(sameFloat(floatmath::sinCos(x).sin, std::sin(x))) << "sinCos " << hex(x);
    EXPECT_TRUE(sameFloat(floatmath::sinCos(x).cos, std::cos(x))) << "sinCos " << hex(x);
    EXPECT_TRUE(sameFloat(floatmath::tan(x), std::tan(x))) << "tan " << hex(x);
}

TEST_P(FloatMathHard, Atan2EqualsTheLibraryOverEveryQuadrant) {
    if (!kGlibc) {
        GTEST_SKIP() << kNotGlibc;
    }
    const float y = opaque(GetParam());
    for (const float x :
         {1.0f, -1.0f, 0.0f, -0.0f, 0x1p-30f, -0x1p30f, 3.0f, kInf, -kInf, fromBits(1), kNaN}) {
        EXPECT_TRUE(sameFloat(floatmath::atan2(y, opaque(x)), std::atan2(y, opaque(x))))
            << "atan2(" << hex(y) << ", " << hex(x) << ")";
        EXPECT_TRUE(sameFloat(floatmath::atan2(opaque(x), y), std::atan2(opaque(x), y)))
            << "atan2(" << hex(x) << ", " << hex(y) << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Arguments, FloatMathHard, ::testing::ValuesIn(hardArguments()));

constexpr float kAtan2Partners[] = {1.0f, -1.0f, 0.0f,  -0.0f,     0x1p-30f, -0x1p30f,
                                    3.0f, kInf,  -kInf, 0x1p-149f, kNaN};

// What FloatMathHard compares with glibc, as a digest that holds on every system.
TEST(FloatMathStored, HardArgumentsGiveTheStoredBits) {
    Digest digest;
    for (const float arg : hardArguments()) {
        const float x = opaque(arg);
        digest.add(floatmath::sin(x));
        digest.add(floatmath::cos(x));
        digest.add(floatmath::sinCos(x).sin);
        digest.add(floatmath::sinCos(x).cos);
        digest.add(floatmath::tan(x));
        for (const float partner : kAtan2Partners) {
            digest.add(floatmath::atan2(x, opaque(partner)));
            digest.add(floatmath::atan2(opaque(partner), x));
        }
    }
    EXPECT_EQ(digest.value, 0x3b476f1a8c82f0d6ULL) << std::hex << "digest 0x" << digest.value;
}

// Every float bit pattern is equally likely, so all exponents and paths are drawn; a second
// half draws angles of the size the arc walk makes.
TEST(FloatMathSample, EveryFunctionEqualsTheLibraryOnSeededArguments) {
    std::mt19937 random(20261208u);
    std::uniform_real_distribution<float> angle(-10.0f, 10.0f);
    int32_t failures = 0;
    Digest digest;
    for (int32_t i = 0; i < 2'000'000 && failures < 10; ++i) {
        const float x =
            opaque(i % 2 == 0 ? fromBits(static_cast<uint32_t>(random())) : angle(random));
        const float y =
            opaque(i % 2 == 0 ? fromBits(static_cast<uint32_t>(random())) : angle(random));
        const floatmath::SinCos both = floatmath::sinCos(x);
        for (const float ours : {floatmath::sin(x), floatmath::cos(x), both.sin, both.cos,
                                 floatmath::tan(x), floatmath::atan2(y, x)}) {
            digest.add(ours);
        }
        if (!kGlibc) {
            continue;
        }
        const bool same = sameFloat(floatmath::sin(x), std::sin(x)) &&
                          sameFloat(floatmath::cos(x), std::cos(x)) &&
                          sameFloat(both.sin, std::sin(x)) && sameFloat(both.cos, std::cos(x)) &&
                          sameFloat(floatmath::tan(x), std::tan(x)) &&
                          sameFloat(floatmath::atan2(y, x), std::atan2(y, x));
        if (!same) {
            ++failures;
            ADD_FAILURE() << "at x = " << hex(x) << ", y = " << hex(y);
        }
    }
    // floatmath's own bits, on every system (glibc's where the comparison above runs).
    EXPECT_EQ(digest.value, 0xb5d06f6fbf0a0a14ULL) << std::hex << "digest 0x" << digest.value;
}

// From cpu::SimdLevel::avx2 on, sin, cos and sinCos take fused steps for |x| < 16; at every
// level they must give the scalar level's bits. Floats next to k·π/2 (the largest cancellation
// in the reduction), the path edges, and a seeded sample of angles and bit patterns.
class FloatMathLevels : public AtEveryLevel {};

TEST_P(FloatMathLevels, EqualTheScalarEvaluation) {
    std::vector<float> args = hardArguments();
    for (uint32_t k = 1; k <= 10; ++k) {
        const float nearest = static_cast<float>(static_cast<double>(k) * std::numbers::pi / 2.0);
        float below = nearest;
        float above = nearest;
        for (int32_t i = 0; i < 64; ++i) {
            args.push_back(below);
            args.push_back(-above);
            below = std::nextafter(below, 0.0f);
            above = std::nextafter(above, kInf);
        }
    }
    for (const float edge : {16.0f, 0x1.921fb6p-1f, 0x1p-12f}) {
        args.push_back(edge);
        args.push_back(std::nextafter(edge, 0.0f));
        args.push_back(-std::nextafter(edge, 0.0f));
    }
    std::mt19937 random(20261208u);
    std::uniform_real_distribution<float> angle(-16.0f, 16.0f);
    for (int32_t i = 0; i < 1'000'000; ++i) {
        args.push_back(i % 4 == 0 ? fromBits(static_cast<uint32_t>(random())) : angle(random));
    }
    int32_t failures = 0;
    for (const float arg : args) {
        const float x = opaque(arg);
        floatmath::SinCos scalar{};
        float scalarSin = 0.0f;
        float scalarCos = 0.0f;
        {
            const cpu::ScopedLevel lowest(cpu::SimdLevel::scalar);
            scalar = floatmath::sinCos(x);
            scalarSin = floatmath::sin(x);
            scalarCos = floatmath::cos(x);
        }
        const floatmath::SinCos both = floatmath::sinCos(x);
        const bool same = sameFloat(floatmath::sin(x), scalar.sin) &&
                          sameFloat(floatmath::cos(x), scalar.cos) &&
                          sameFloat(both.sin, scalar.sin) && sameFloat(both.cos, scalar.cos) &&
                          sameFloat(scalarSin, scalar.sin) && sameFloat(scalarCos, scalar.cos);
        if (!same && ++failures <= 10) {
            ADD_FAILURE() << "at x = " << hex(x);
        }
    }
    EXPECT_EQ(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Levels, FloatMathLevels, everyLevel(), levelName);

struct Exact {
    const char* name;
    float value;
    float expected;
};

// Values worked out by hand: exact zeros and their signs, the ends of the range, and the
// float nearest the true result where the true value is known.
class FloatMathExact : public ::testing::TestWithParam<Exact> {};

TEST_P(FloatMathExact, GivesTheWorkedOutValue) {
    EXPECT_TRUE(sameFloat(GetParam().value, GetParam().expected)) << GetParam().name;
}

// π rounded to a float, and its half and quarter.
constexpr float kPiF = 0x1.921fb6p+1f;

INSTANTIATE_TEST_SUITE_P(
    Cases, FloatMathExact,
    ::testing::Values(Exact{"sin(+0)", floatmath::sin(0.0f), 0.0f},
                      Exact{"sin(-0)", floatmath::sin(-0.0f), -0.0f},
                      Exact{"cos(-0)", floatmath::cos(-0.0f), 1.0f},
                      Exact{"sin(tiny) is tiny", floatmath::sin(0x1p-20f), 0x1p-20f},
                      Exact{"cos(tiny) is 1", floatmath::cos(0x1p-13f), 1.0f},
                      Exact{"sin(π/2)", floatmath::sin(kPiF / 2.0f), 1.0f},
                      Exact{"cos(π)", floatmath::cos(kPiF), -1.0f},
                      // sin(π_f) = π - π_f to float accuracy: -8.742278e-8.
                      Exact{"sin(π_f)", floatmath::sin(kPiF), -0x1.777a5cp-24f},
                      Exact{"sin(inf)", floatmath::sin(kInf), kNaN},
                      Exact{"cos(-inf)", floatmath::cos(-kInf), kNaN},
                      Exact{"sin(NaN)", floatmath::sin(kNaN), kNaN},
                      Exact{"tan(-0)", floatmath::tan(-0.0f), -0.0f},
                      Exact{"tan(tiny) is tiny", floatmath::tan(0x1p-20f), 0x1p-20f},
                      Exact{"tan(π_f/4) is 1", floatmath::tan(kPiF / 4.0f), 1.0f},
                      Exact{"tan(-inf)", floatmath::tan(-kInf), kNaN},
                      Exact{"sinCos(-0)", floatmath::sinCos(-0.0f).sin, -0.0f},
                      Exact{"sinCos(π_f).cos", floatmath::sinCos(kPiF).cos, -1.0f},
                      Exact{"atan2(+0, +0)", floatmath::atan2(0.0f, 0.0f), 0.0f},
                      Exact{"atan2(-0, +0)", floatmath::atan2(-0.0f, 0.0f), -0.0f},
                      Exact{"atan2(+0, -0)", floatmath::atan2(0.0f, -0.0f), kPiF},
                      Exact{"atan2(-0, -1)", floatmath::atan2(-0.0f, -1.0f), -kPiF},
                      Exact{"atan2(1, 0)", floatmath::atan2(1.0f, 0.0f), kPiF / 2.0f},
                      Exact{"atan2(-inf, 5)", floatmath::atan2(-kInf, 5.0f), -kPiF / 2.0f},
                      Exact{"atan2(inf, inf)", floatmath::atan2(kInf, kInf), kPiF / 4.0f},
                      Exact{"atan2(1, 1)", floatmath::atan2(1.0f, 1.0f), kPiF / 4.0f},
                      Exact{"atan2(1, -1)", floatmath::atan2(1.0f, -1.0f), 0x1.2d97c8p+1f},
                      Exact{"atan2(3, -inf)", floatmath::atan2(3.0f, -kInf), kPiF},
                      Exact{"atan2(-3, inf)", floatmath::atan2(-3.0f, kInf), -0.0f},
                      Exact{"atan2(NaN, 1)", floatmath::atan2(kNaN, 1.0f), kNaN}));

} // namespace
