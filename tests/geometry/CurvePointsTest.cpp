// The batched curve walks against quad and cubic, which hand on one point at a time:
// the same points bit for bit, in batches that fit and end on the exact end point.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "geometry/Cpu.h"
#include "geometry/Flattening.h"

namespace {

struct Batches {
    std::vector<float> xs;
    std::vector<float> ys;
    std::vector<int32_t> sizes;
};

// The same bits, or both not a number (which NaN a sum keeps is left to the machine).
bool sameFloat(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b) ||
           (std::isnan(a) && std::isnan(b));
}

float controlCoordinate(std::mt19937& rng) {
    const int kind = std::uniform_int_distribution<int>(0, 19)(rng);
    switch (kind) {
    case 0:
        return std::numeric_limits<float>::quiet_NaN();
    case 1:
        return -std::numeric_limits<float>::infinity();
    case 2:
        return 3.0e38f;
    case 3:
        return -0.0f;
    case 4:
        return 0.0f;
    case 5:
        return std::ldexp(1.0f, std::uniform_int_distribution<int>(-149, -120)(rng));
    default:
        return std::uniform_real_distribution<float>(-500.0f, 500.0f)(rng);
    }
}

struct CurveCase {
    bool cubic;
    int32_t steps;
};

class CurveBatches : public testing::TestWithParam<CurveCase> {};

void expectBatchesOfTheWalk(const CurveCase& param) {
    const float h = 1.0f / static_cast<float>(param.steps);
    const float h2 = h * h;
    const float h3 = h2 * h;
    std::mt19937 rng(static_cast<uint32_t>(param.steps * 2 + (param.cubic ? 1 : 0)));
    for (int trial = 0; trial < 400; ++trial) {
        float p[8];
        for (float& v : p) {
            v = controlCoordinate(rng);
        }
        std::vector<float> xs;
        std::vector<float> ys;
        const auto plain = [&](float x, float y) {
            xs.push_back(x);
            ys.push_back(y);
        };
        Batches got;
        const auto batch = [&](const float* bx, const float* by, int32_t n) {
            got.xs.insert(got.xs.end(), bx, bx + n);
            got.ys.insert(got.ys.end(), by, by + n);
            got.sizes.push_back(n);
        };
        if (param.cubic) {
            flattening::cubic(param.steps, h, h2, h3, p[0], p[1], p[2], p[3], p[4], p[5], p[6],
                              p[7], plain);
            flattening::cubicBatches(param.steps, h, h2, h3, p[0], p[1], p[2], p[3], p[4], p[5],
                                     p[6], p[7], batch);
        } else {
            flattening::quad(param.steps, h, h2, p[0], p[1], p[2], p[3], p[4], p[5], plain);
            flattening::quadBatches(param.steps, h, h2, p[0], p[1], p[2], p[3], p[4], p[5], batch);
        }
        ASSERT_EQ(got.xs.size(), xs.size()) << "trial " << trial;
        for (size_t i = 0; i < xs.size(); ++i) {
            ASSERT_TRUE(sameFloat(got.xs[i], xs[i]) && sameFloat(got.ys[i], ys[i]))
                << "trial " << trial << " point " << i << ": " << got.xs[i] << ", " << got.ys[i]
                << " instead of " << xs[i] << ", " << ys[i];
        }
        // Full batches, then the rest with the exact end point last.
        for (size_t b = 0; b < got.sizes.size(); ++b) {
            const bool last = b + 1 == got.sizes.size();
            ASSERT_TRUE(last ? got.sizes[b] >= 1 && got.sizes[b] <= flattening::kCurveBatch
                             : got.sizes[b] == flattening::kCurveBatch)
                << "trial " << trial << " batch " << b << " of " << got.sizes[b];
        }
        const float endX = param.cubic ? p[6] : p[4];
        const float endY = param.cubic ? p[7] : p[5];
        ASSERT_EQ(std::bit_cast<uint32_t>(got.xs.back()), std::bit_cast<uint32_t>(endX));
        ASSERT_EQ(std::bit_cast<uint32_t>(got.ys.back()), std::bit_cast<uint32_t>(endY));
    }
}

// At every vector level this machine has: the batches' walk has a scalar and an SSE2 form.
TEST_P(CurveBatches, HandOnThePointsOfTheWalkOnePointAtATime) {
    for (const cpu::SimdLevel level : cpu::availableLevels()) {
        const cpu::ScopedLevel scoped(level);
        SCOPED_TRACE(cpu::levelName(level));
        expectBatchesOfTheWalk(GetParam());
        if (HasFatalFailure()) {
            return;
        }
    }
}

// Step counts around the batch size, and the fixed 16 the show uses.
INSTANTIATE_TEST_SUITE_P(StepCounts, CurveBatches,
                         testing::Values(CurveCase{false, 1}, CurveCase{false, 2},
                                         CurveCase{false, 16}, CurveCase{false, 32},
                                         CurveCase{false, 33}, CurveCase{false, 65},
                                         CurveCase{false, 256}, CurveCase{true, 1},
                                         CurveCase{true, 3}, CurveCase{true, 16},
                                         CurveCase{true, 31}, CurveCase{true, 32},
                                         CurveCase{true, 64}, CurveCase{true, 256}),
                         [](const testing::TestParamInfo<CurveCase>& param) {
                             return std::string(param.param.cubic ? "Cubic" : "Quad") +
                                    std::to_string(param.param.steps);
                         });

} // namespace

// Counts looked up by their least squares against the chain of square roots they stand
// for: at every count's edge (the least square and the double below it), across the
// range, and where the chain falls back.
TEST(FineStepCounts, EqualTheBendsCountAtEveryEdge) {
    using flattening::fineSteps;
    const auto nextDown = [](double v) {
        return std::nextafter(v, -std::numeric_limits<double>::infinity());
    };
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> exponent(-20.0, 30.0);
    const auto check = [&](const auto& bend, const char* name) {
        SCOPED_TRACE(name);
        const flattening::FineStepCounts counts(bend);
        const auto expected = [&bend](double square) { return fineSteps(bend(square), -1); };
        std::vector<double> squares = {0.0, 1e-300, 1.0, std::numeric_limits<double>::max(),
                                       std::numeric_limits<double>::denorm_min()};
        // Each count's edge, found by walking the chain up in powers of two and then halving.
        for (int32_t n = 2; n <= flattening::kMaxFineCurveSteps; ++n) {
            double high = 1e-3;
            while (expected(high) < n) {
                high *= 2.0;
            }
            double low = 0.0;
            for (int32_t i = 0; i < 200 && std::nextafter(low, high) < high; ++i) {
                const double middle = low + (high - low) / 2.0;
                (expected(middle) >= n ? high : low) = middle;
            }
            squares.push_back(high);
            squares.push_back(nextDown(high));
            squares.push_back(std::nextafter(high, std::numeric_limits<double>::infinity()));
        }
        for (int32_t i = 0; i < 20000; ++i) {
            squares.push_back(std::exp2(exponent(rng)));
        }
        for (const double square : squares) {
            ASSERT_EQ(counts(square, -1), expected(square)) << square;
        }
        EXPECT_EQ(counts(std::numeric_limits<double>::quiet_NaN(), -1), -1);
        EXPECT_EQ(counts(std::numeric_limits<double>::infinity(), -1), -1);
    };
    check(flattening::quadBend, "quads");
    check(flattening::cubicBend, "cubics");
}
